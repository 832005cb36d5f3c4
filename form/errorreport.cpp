#include "errorreport.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "store/recordfile.h"

namespace {

// The names here are the program's own, plain ASCII.
std::u16string widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string verb(FileOperation operation) {
    switch (operation) {
    case FileOperation::Open: return u"aprire";
    case FileOperation::Read: return u"leggere";
    case FileOperation::Write: return u"scrivere";
    case FileOperation::Sync: return u"salvare su disco";
    case FileOperation::Truncate: return u"accorciare";
    case FileOperation::Stat: return u"esaminare";
    case FileOperation::Chmod: return u"impostare i permessi di";
    case FileOperation::Remove: return u"eliminare";
    case FileOperation::Rename: return u"rinominare";
    case FileOperation::Lock: return u"bloccare";
    case FileOperation::Close: return u"chiudere";
    }
    return u"usare";
}

std::u16string reason(int error) {
    switch (error) {
    case ENOSPC: return u"spazio esaurito sul disco";
    case EDQUOT: return u"quota del disco superata";
    case EIO: return u"errore di lettura o scrittura del disco";
    case EACCES: return u"permesso negato";
    case EPERM: return u"operazione non permessa";
    case EROFS: return u"il disco è in sola lettura";
    case ENOENT: return u"file o cartella inesistente";
    case EISDIR: return u"è una cartella, non un file";
    case ENOTDIR: return u"il percorso non è una cartella";
    case EFBIG: return u"file troppo grande";
    case EMFILE:
    case ENFILE: return u"troppi file aperti";
    case ENAMETOOLONG: return u"nome troppo lungo";
    case ELOOP: return u"troppi collegamenti simbolici";
    case EEXIST: return u"il file esiste già";
    case EBUSY:
    case ETXTBSY: return u"file in uso";
    case ENOLCK: return u"nessun blocco disponibile";
    case ENOMEM: return u"memoria insufficiente";
    case EINVAL: return u"operazione non valida su questo file";
    default: return u"errore di sistema " + widen(std::to_string(error));
    }
}

std::u16string subject(const Status& status) {
    if (status.file == ".") {
        return u"la cartella corrente";
    }
    std::u16string text = u"il file \"" + widen(status.file) + u"\"";
    if (status.operation == FileOperation::Rename && status.file == kScratchFileName) {
        text += u" in \"" + widen(kDataFileName) + u"\"";
    }
    return text;
}

} // namespace

std::u16string errorReport(const Status& status) {
    if (status.operation == FileOperation::Lock && status.error == EWOULDBLOCK) {
        return u"La rubrica \"" + widen(status.file) +
               u"\" di questa cartella è già aperta in un'altra copia di Chiamoro.\r\n\r\n"
               u"Chiudere l'altra copia e riprovare.";
    }
    std::u16string code;
    if (const char* name = strerrorname_np(status.error)) {
        code = u" (" + widen(name) + u")";
    }
    return u"Impossibile " + verb(status.operation) + u" " + subject(status) + u": " +
           reason(status.error) + code + u".\r\n\r\nIl programma verrà chiuso.";
}
