#include "errorreport.h"

#include "store/recordfile.h"
#include "store/utf8.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// Plain ASCII: the names of errors.
std::u16string widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string verb(FileOperation operation) {
    switch (operation) {
    case FileOperation::Open:
        return u"aprire";
    case FileOperation::Read:
        return u"leggere";
    case FileOperation::Write:
        return u"scrivere";
    case FileOperation::Sync:
        return u"salvare su disco";
    case FileOperation::Truncate:
        return u"accorciare";
    case FileOperation::Stat:
        return u"esaminare";
    case FileOperation::Chmod:
        return u"impostare i permessi di";
    case FileOperation::Remove:
        return u"eliminare";
    case FileOperation::Rename:
        return u"rinominare";
    case FileOperation::Lock:
        return u"bloccare";
    case FileOperation::Close:
        return u"chiudere";
    }
    return u"usare";
}

std::u16string reason(int error) {
    switch (error) {
    case ENOSPC:
        return u"spazio esaurito sul disco";
    case EDQUOT:
        return u"quota del disco superata";
    case EIO:
        return u"errore di lettura o scrittura del disco";
    case EACCES:
        return u"permesso negato";
    case EPERM:
        return u"operazione non permessa";
    case EROFS:
        return u"il disco è in sola lettura";
    case ENOENT:
        return u"file o cartella inesistente";
    case EISDIR:
        return u"è una cartella, non un file";
    case ENOTDIR:
        return u"il percorso non è una cartella";
    case EFBIG:
        return u"file troppo grande";
    case EMFILE:
    case ENFILE:
        return u"troppi file aperti";
    case ENAMETOOLONG:
        return u"nome troppo lungo";
    case ELOOP:
        return u"troppi collegamenti simbolici";
    case EEXIST:
        return u"il file esiste già";
    case EBUSY:
    case ETXTBSY:
        return u"file in uso";
    case ENOLCK:
        return u"nessun blocco disponibile";
    case ENOMEM:
        return u"memoria insufficiente";
    case EINVAL:
        return u"operazione non valida su questo file";
    default:
        return u"errore di sistema " + widen(std::to_string(error));
    }
}

// The names here are the program's own or the system's file names, in UTF-8.
std::u16string name(const std::string& path) {
    return u"\"" + decodeUtf8(path) + u"\"";
}

std::u16string subject(const Status& status) {
    std::u16string text;
    if (status.file == ".") {
        text = u"la cartella corrente";
    } else if (status.file.size() > 1 && status.file.back() == '/') {
        text = u"la cartella " + name(status.file.substr(0, status.file.size() - 1));
    } else {
        text = u"il file " + name(status.file);
    }
    if (!status.link.empty()) {
        text += u" (a cui porta il collegamento " + name(status.link) + u")";
    }
    if (!status.to.empty()) {
        text += u" in " + name(status.to);
    }
    return text;
}

} // namespace

std::u16string errorReport(const Status& status) {
    if (status.operation == FileOperation::Lock && status.error == EWOULDBLOCK) {
        std::u16string phoneBook = u"La rubrica " + name(status.file);
        if (!status.link.empty()) {
            phoneBook =
                u"La rubrica " + name(status.link) + u", cioè il file " + name(status.file) + u",";
        }
        return phoneBook +
               u" di questa cartella è già aperta in un'altra copia di Chiamoro.\r\n\r\n"
               u"Chiudere l'altra copia e riprovare.";
    }
    std::u16string code;
    if (const char* errorName = strerrorname_np(status.error)) {
        code = u" (" + widen(errorName) + u")";
    }
    return u"Impossibile " + verb(status.operation) + u" " + subject(status) + u": " +
           reason(status.error) + code + u".\r\n\r\nIl programma verrà chiuso.";
}
