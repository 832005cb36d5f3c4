#include "errorreport.h"

#include "store/utf8.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <string_view>
#include <sys/stat.h>
#include <vector>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// Plain ASCII: the names of errors, numbers.
std::u16string widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

struct Verb {
    const char16_t* text;
    bool of = false; // takes "di": "i permessi del file", not "il file"
};

Verb verb(FileOperation operation) {
    switch (operation) {
    case FileOperation::Open:
        return {u"aprire"};
    case FileOperation::Read:
        return {u"leggere"};
    case FileOperation::Write:
        return {u"scrivere"};
    case FileOperation::Sync:
        return {u"salvare su disco"};
    case FileOperation::Truncate:
        return {u"accorciare"};
    case FileOperation::Stat:
        return {u"esaminare"};
    case FileOperation::Chmod:
        return {u"impostare i permessi", true};
    case FileOperation::Chown:
        return {u"impostare il proprietario e il gruppo", true};
    case FileOperation::ReadAttributes:
        return {u"leggere gli attributi estesi (come gli ACL)", true};
    case FileOperation::WriteAttributes:
        return {u"scrivere gli attributi estesi", true};
    case FileOperation::Remove:
        return {u"eliminare"};
    case FileOperation::Rename:
        return {u"rinominare"};
    case FileOperation::Replace:
        return {u"sostituire"};
    case FileOperation::Adopt:
        return {u"recuperare come rubrica"};
    case FileOperation::Lock:
        return {u"bloccare"};
    case FileOperation::Close:
        return {u"chiudere"};
    case FileOperation::WriteTemporary:
        return {u"scrivere i file provvisori", true};
    }
    return {u"usare"};
}

std::u16string systemReason(int error) {
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
        return u"il file supererebbe la dimensione massima permessa dal disco o dal limite di "
               u"questo processo (ulimit -f)";
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
    case ENOTSUP:
        return u"operazione non supportata da questo disco";
    default:
        return u"errore di sistema " + decimal(error);
    }
}

std::u16string fileKind(std::int64_t type) {
    switch (static_cast<mode_t>(type)) {
    case S_IFDIR:
        return u"una cartella";
    case S_IFLNK:
        return u"un collegamento simbolico";
    case S_IFIFO:
        return u"una pipe (FIFO)";
    case S_IFSOCK:
        return u"un socket";
    case S_IFCHR:
    case S_IFBLK:
        return u"un dispositivo";
    default:
        return u"un file speciale";
    }
}

// The group's name, if the system knows it, and its number.
std::u16string groupName(std::int64_t gid) {
    std::u16string text = u"numero " + decimal(gid);
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(static_cast<gid_t>(gid), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
        text = u"\"" + escapeControls(decodeUtf8(found->gr_name)) + u"\", " + text;
    }
    return text;
}

std::u16string reason(const Status& status) {
    switch (status.cause) {
    case Cause::System:
        break;
    case Cause::NotRegularFile:
        return u"non è un file normale, ma " + fileKind(status.detail);
    case Cause::ForeignLink:
        return u"è un collegamento simbolico di un altro utente in una cartella condivisa "
               u"(scrivibile da tutti, con lo sticky bit), e per sicurezza non viene seguito";
    case Cause::ForeignFile:
        return u"appartiene a un altro utente (numero " + decimal(status.detail) +
               u"), e per sicurezza non viene usato";
    case Cause::GroupNotKept:
        return u"appartiene al gruppo " + groupName(status.detail) +
               u", di cui questo utente non fa parte, e la copia che lo sostituirebbe non "
               u"potrebbe mantenerlo";
    case Cause::HardLinks:
        if (status.detail == 2) {
            return u"ha un altro nome (un collegamento fisico), che dopo la sostituzione "
                   u"mostrerebbe ancora il contenuto vecchio";
        }
        return u"ha altri " + decimal(status.detail - 1) +
               u" nomi (collegamenti fisici), che dopo la sostituzione mostrerebbero ancora il "
               u"contenuto vecchio";
    case Cause::ScratchReplaced:
        return u"nel frattempo un altro programma ha messo un altro file al suo posto";
    case Cause::TooManyRecords:
        return u"una rubrica ha al massimo 2147483647 contatti";
    case Cause::PhoneBook:
        return u"è la rubrica stessa";
    case Cause::PhoneBookScratch:
        return u"è il file provvisorio della rubrica, che un avvio successivo del programma "
               u"potrebbe prendere per la rubrica stessa";
    }
    std::u16string text = systemReason(status.error);
    if (const char* errorName = strerrorname_np(status.error)) {
        text += u" (" + widen(errorName) + u")";
    }
    return text;
}

std::u16string subject(const Status& status, bool of) {
    std::u16string text;
    if (status.file == ".") {
        text = of ? u"della cartella corrente" : u"la cartella corrente";
    } else if (status.file.size() > 1 && status.file.back() == '/') {
        text = (of ? u"della cartella " : u"la cartella ") +
               quotedFile(status.file.substr(0, status.file.size() - 1));
    } else {
        text = (of ? u"del file " : u"il file ") + quotedFile(status.file);
    }
    if (!status.link.empty()) {
        text += u" (a cui porta il collegamento " + quotedFile(status.link) + u")";
    }
    if (!status.to.empty()) {
        text += u" in " + quotedFile(status.to);
    }
    return text;
}

void appendHex(std::u16string& text, char16_t unit, int digits) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        text += kDigits[(unit >> shift) & 0xF];
    }
}

// The lock refused: another copy of the program has the phone book open.
bool openElsewhere(const Status& status) {
    return status.operation == FileOperation::Lock && status.error == EWOULDBLOCK;
}

bool turnsText(char16_t unit) {
    return unit == 0x061C || unit == 0x200E || unit == 0x200F ||
           (unit >= 0x2028 && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069);
}

} // namespace

std::u16string escapeControls(std::u16string_view text) {
    std::u16string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            shown += unit; // a whole pair: one character beyond the first plane
            shown += text[++i];
        } else if (unit == u'\n') {
            shown += u"\\n";
        } else if (unit == u'\r') {
            shown += u"\\r";
        } else if (unit == u'\t') {
            shown += u"\\t";
        } else if (unit == u'\\') {
            shown += u"\\\\";
        } else if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) {
            shown += u"\\x";
            appendHex(shown, unit, 2);
        } else if (turnsText(unit) || high || low) {
            shown += u"\\u";
            appendHex(shown, unit, 4);
        } else {
            shown += unit;
        }
    }
    return shown;
}

std::u16string failureSentence(const Status& status) {
    if (openElsewhere(status)) {
        std::u16string phoneBook = u"La rubrica " + quotedFile(status.file);
        if (!status.link.empty()) {
            phoneBook = u"La rubrica " + quotedFile(status.link) + u", cioè il file " +
                        quotedFile(status.file) + u",";
        }
        return phoneBook + u" di questa cartella è già aperta in un'altra copia di Chiamoro.";
    }
    const Verb what = verb(status.operation);
    return u"Impossibile " + std::u16string(what.text) + u" " + subject(status, what.of) + u": " +
           reason(status) + u".";
}

std::u16string errorReport(const Status& status) {
    return failureSentence(status) + (openElsewhere(status)
                                          ? u"\r\n\r\nChiudere l'altra copia e riprovare."
                                          : u"\r\n\r\nIl programma verrà chiuso.");
}

std::u16string decimal(std::int64_t n) {
    return widen(std::to_string(n));
}

std::u16string quoted(std::u16string_view text) {
    return u"\"" + escapeControls(text) + u"\"";
}

std::u16string quotedFile(const std::string& path) {
    return quoted(decodeUtf8(path));
}

std::u16string counted(std::int64_t n, std::u16string_view one, std::u16string_view many) {
    return decimal(n) + u" " + std::u16string(n == 1 ? one : many);
}
