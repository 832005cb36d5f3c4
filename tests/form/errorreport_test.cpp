// The Italian words of a failed file operation, for the window and the command line.

#include "form/errorreport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

std::u16string firstParagraph(const Status& status) {
    const std::u16string text = errorReport(status);
    return text.substr(0, text.find(u"\r\n"));
}

Status renamed(Status status, std::string to) {
    status.to = std::move(to);
    return status;
}

} // namespace

TEST(ErrorReport, TheProgramsOwnRefusalsSayWhy) {
    const struct {
        Status status;
        std::u16string text;
    } cases[] = {
        {Status::refusal(FileOperation::Open, "Chiamoro.DAT", Cause::NotRegularFile, EINVAL,
                         S_IFIFO),
         u"Impossibile aprire il file \"Chiamoro.DAT\": non è un file normale, ma una pipe "
         u"(FIFO)."},
        {Status::refusal(FileOperation::Open, "/tmp/rubrica.dat", Cause::ForeignLink, EACCES, 0,
                         "Chiamoro.DAT"),
         u"Impossibile aprire il file \"/tmp/rubrica.dat\" (a cui porta il collegamento "
         u"\"Chiamoro.DAT\"): è un collegamento simbolico di un altro utente in una cartella "
         u"condivisa (scrivibile da tutti, con lo sticky bit), e per sicurezza non viene "
         u"seguito."},
        {Status::refusal(FileOperation::Adopt, "Chiamoro.TMP", Cause::ForeignFile, EACCES, 1001),
         u"Impossibile recuperare come rubrica il file \"Chiamoro.TMP\": appartiene a un altro "
         u"utente (numero 1001), e per sicurezza non viene usato."},
        {Status::refusal(FileOperation::Replace, "Chiamoro.DAT", Cause::GroupNotKept, EPERM, 0),
         u"Impossibile sostituire il file \"Chiamoro.DAT\": appartiene al gruppo \"root\", "
         u"numero 0, di cui questo utente non fa parte, e la copia che lo sostituirebbe non "
         u"potrebbe mantenerlo."},
        {Status::refusal(FileOperation::Replace, "Chiamoro.DAT", Cause::HardLinks, EMLINK, 2),
         u"Impossibile sostituire il file \"Chiamoro.DAT\": ha un altro nome (un collegamento "
         u"fisico), che dopo la sostituzione mostrerebbe ancora il contenuto vecchio."},
        {Status::refusal(FileOperation::Replace, "Chiamoro.DAT", Cause::HardLinks, EMLINK, 4),
         u"Impossibile sostituire il file \"Chiamoro.DAT\": ha altri 3 nomi (collegamenti "
         u"fisici), che dopo la sostituzione mostrerebbero ancora il contenuto vecchio."},
        {renamed(
             Status::refusal(FileOperation::Rename, "Chiamoro.TMP", Cause::ScratchReplaced, EEXIST),
             "Chiamoro.DAT"),
         u"Impossibile rinominare il file \"Chiamoro.TMP\" in \"Chiamoro.DAT\": nel frattempo un "
         u"altro programma ha messo un altro file al suo posto."},
        {Status::refusal(FileOperation::Write, "Chiamoro.DAT", Cause::TooManyRecords, EFBIG),
         u"Impossibile scrivere il file \"Chiamoro.DAT\": una rubrica ha al massimo 2147483647 "
         u"contatti."},
        {Status::refusal(FileOperation::Write, "Chiamoro.DAT", Cause::PhoneBook, EINVAL, 0,
                         "rubrica.csv"),
         u"Impossibile scrivere il file \"Chiamoro.DAT\" (a cui porta il collegamento "
         u"\"rubrica.csv\"): è la rubrica stessa."},
        {Status::refusal(FileOperation::Write, "Chiamoro.TMP", Cause::PhoneBookScratch, EINVAL),
         u"Impossibile scrivere il file \"Chiamoro.TMP\": è il file provvisorio della rubrica, "
         u"che un avvio successivo del programma potrebbe prendere per la rubrica stessa."},
        // The same errno from the system: the file size limit, or the disk's.
        {Status::failure(FileOperation::Write, "Chiamoro.TMP", EFBIG),
         u"Impossibile scrivere il file \"Chiamoro.TMP\": il file supererebbe la dimensione "
         u"massima permessa dal disco o dal limite di questo processo (ulimit -f) (EFBIG)."},
        {Status::failure(FileOperation::Chmod, "Chiamoro.TMP", EROFS),
         u"Impossibile impostare i permessi del file \"Chiamoro.TMP\": il disco è in sola "
         u"lettura (EROFS)."},
        {Status::failure(FileOperation::ReadAttributes, "altrove/", EIO),
         u"Impossibile leggere gli attributi estesi (come gli ACL) della cartella \"altrove\": "
         u"errore di lettura o scrittura del disco (EIO)."},
        {Status::failure(FileOperation::WriteTemporary, "/tmp/", ENOSPC),
         u"Impossibile scrivere i file provvisori della cartella \"/tmp\": spazio esaurito sul "
         u"disco (ENOSPC)."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(firstParagraph(c.status), c.text);
    }
}

TEST(ErrorReport, ControlCharactersInANameAreShownNotObeyed) {
    const struct {
        const char* what;
        std::u16string text;
        std::u16string shown;
    } cases[] = {
        {"plain text, accents and a character beyond the first plane", u"Rubrica di Nicolò 📞.dat",
         u"Rubrica di Nicolò 📞.dat"},
        {"line breaks and a tab", u"a\nb\r\nc\td", u"a\\nb\\r\\nc\\td"},
        {"a terminal's escape and a bell", u"\x1B]0;titolo\x07.dat", u"\\x1B]0;titolo\\x07.dat"},
        {"NUL, DEL and the C1 controls", std::u16string(u"a\0b", 3) + u"\x7F\x85\x9B",
         u"a\\x00b\\x7F\\x85\\x9B"},
        {"marks that turn the text around", u"rubrica\u202Etad.exe\u2066\u200F",
         u"rubrica\\u202Etad.exe\\u2066\\u200F"},
        {"the line and paragraph separators", u"a\u2028b\u2029", u"a\\u2028b\\u2029"},
        {"a lone surrogate", std::u16string(u"x") + char16_t(0xD83D) + u"y", u"x\\uD83Dy"},
        {"a backslash, so that the escapes read back", u"C:\\n", u"C:\\\\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeControls(c.text), c.shown) << c.what;
    }
    // In a report, a name read from the disk cannot add a line of its own.
    const std::u16string report =
        firstParagraph(Status::failure(FileOperation::Open, "a\r\n\r\nIl file è salvo.", EIO));
    EXPECT_EQ(report, u"Impossibile aprire il file \"a\\r\\n\\r\\nIl file è salvo.\": errore di "
                      u"lettura o scrittura del disco (EIO).");
}

TEST(ErrorReport, TheWindowsMessageOpensWithTheCommandLinesSentence) {
    const Status cases[] = {
        Status::failure(FileOperation::Write, "Chiamoro.DAT", ENOSPC),
        Status::failure(FileOperation::Rename, "Chiamoro.TMP", EACCES),
        Status::failure(FileOperation::Lock, "Chiamoro.DAT", EWOULDBLOCK),
        Status::failure(FileOperation::Lock, "altrove/rubrica.dat", EWOULDBLOCK, "Chiamoro.DAT"),
        Status::refusal(FileOperation::Replace, "Chiamoro.DAT", Cause::HardLinks, EMLINK, 2),
    };
    for (const Status& status : cases) {
        const std::u16string sentence = failureSentence(status);
        SCOPED_TRACE(std::string(sentence.begin(), sentence.end()));
        EXPECT_EQ(sentence.find(u'\n'), std::u16string::npos) << "one line";
        EXPECT_EQ(sentence.back(), u'.');
        const std::u16string report = errorReport(status);
        EXPECT_EQ(report.substr(0, sentence.size() + 4), sentence + u"\r\n\r\n");
    }
}
