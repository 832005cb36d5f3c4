#pragma once

#include "exchange/contattolibero.h"
#include "exchange/duplicates.h"
#include "exchange/linereader.h"
#include "exchange/problem.h"
#include "exchange/reader.h"
#include "store/filesystem.h"
#include "store/recordappend.h"
#include "store/recordfile.h"
#include "store/status.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Contacts in and out of the phone book of the current folder ("Chiamoro.DAT",
// or the file a link of that name leads to), as vCard or CSV files that
// phones, mail programs and spreadsheets read and write. The texts are the
// window's: decoded from Windows-1252 and trimmed of the spaces around them
// on the way out, fitted to the fields on the way in. Contacts the window
// shows as empty are left out both ways.

// vCard; CSV for programs (RFC 4180); a spreadsheet ("foglio" di calcolo):
// written, a workbook (.xlsx, see Workbook), every cell text; read, the CSV a
// spreadsheet saves (semicolons, a byte-order mark, apostrophes in front of
// what would be a formula or a number), which the CSV reader also tells
// apart by itself.
enum class Formato { VCard, Csv, Foglio };

// The format a file's name asks for, in any case: ".vcf" and ".vcard" are
// vCard, ".xlsx" a workbook, ".csv" CSV.
std::optional<Formato> formatOf(std::string_view path);

// The name under which an export goes to standard output.
inline constexpr std::string_view kStandardOutput = "-";

struct ExchangeReport {
    chiamoro::Status status;   // a file operation that failed
    InputProblem problem;      // or a file to import that is not what it should be
    std::int64_t contacts = 0; // written out, or added to the phone book
    std::int64_t changed = 0;  // imported, but cut to fit or with characters stored as '?'
    std::int64_t skipped = 0;  // empty ones left out
    // Import: duplicates of a record (see DuplicateEvent), by what became of them.
    std::int64_t duplicates = 0; // left out
    std::int64_t replaced = 0;   // written over the record they duplicate
    std::int64_t similar = 0;    // added, with the number of a record of another name
    std::int32_t total = 0;      // import: the records in the phone book afterwards
    // Import: the columns (CSV) or properties (vCard) the phone book has no
    // place for, that held something; the CSV columns that held nothing; and
    // the values in fields past the ones told apart.
    std::vector<IgnoredField> ignored;
    std::int64_t ignoredEmpty = 0;
    std::int64_t ignoredUnnamed = 0;
    // Import: the contacts are in the phone book, though `status` reports a
    // failure to make that durable (the folder's sync after the rename).
    bool added = false;

    bool ok() const { return status.ok() && problem.ok(); }
};

// Writes every contact of the phone book, in its order, to `target`, or to
// standard output for kStandardOutput. It only reads: no lock, so it works
// while a window has the phone book open; the records are those the file's
// length gives at the start, read whole in large blocks. A missing phone book
// is a failure (ENOENT) and nothing is created. A file is written as a scratch
// file beside it ("TARGET.PID.tmp"), synced, then renamed over it and its folder
// synced: `target` holds either what it held before or the whole export. A
// link at `target` stays a link; the file it leads to is replaced. The phone
// book itself, under whatever name (Cause::PhoneBook), and its scratch file
// (Cause::PhoneBookScratch) are never a target. A failure on the export's own
// scratch file is reported on `target`.
ExchangeReport exportContacts(FileSystem& fs, const std::string& target, Formato format);

// Called for each imported contact that storing changed: the line of the file
// where it begins and what changed, field by field.
using ChangeReport = std::function<void(std::int64_t line, const std::vector<FieldChange>&)>;

// A contact that is already in the phone book (see duplicates.h), or may be.
struct DuplicateEvent {
    enum class Kind {
        Skipped,  // the same name and number as `record`: left out
        Added,    // the same, added all the same (Doppioni::Aggiungi)
        Replaced, // the same, written over `record` (Doppioni::Sostituisci)
        Similar,  // the number of `record`, under another name: added
    };
    Kind kind = Kind::Skipped;
    std::int64_t line = 0;   // where the contact begins in the file, from 1
    std::int32_t record = 0; // the record of the phone book
    std::u16string name;     // that record's name, as the window shows it
};
using DuplicateReport = std::function<void(const DuplicateEvent&)>;

// Now and then during an import: how much of the work is done, of the whole;
// false stops it, and nothing is imported (the report's status is ECANCELED).
using ProgressReport = std::function<bool(std::int64_t done, std::int64_t whole)>;

struct ImportOptions {
    Doppioni doppioni = Doppioni::Salta;
    ChangeReport onChange = {};       // a contact that storing changed
    NoticeReport onNotice = {};       // a line or field skipped or read otherwise than it stands
    DuplicateReport onDuplicate = {}; // a duplicate, or a contact that may be one
    ProgressReport onProgress = {};
    // False leaves duplicates unlooked-for, as imports once did: what the
    // benchmarks measure the look-up against.
    bool lookForDuplicates = true;
};

// Adds the contacts of files at the end of the phone book, all or none:
// taken as the window takes it (through a link, created if missing), appended
// where "Nuovo" would append, synced once at the end (see RecordAppend). A
// contact that is already in the phone book, or already came in from these
// files, is treated as `doppioni` says. A file that turns out not to be what
// its name says, or any failed operation, leaves the data file as it was, byte
// for byte. The phone book itself is never a source (EINVAL). A line or field
// of a file that is skipped or read otherwise than it stands goes to
// `onNotice`; the rest is imported. Memory stays the same whatever the file (a
// file that needs more is refused: ENOMEM), and grows by 8 bytes a record of
// the phone book.
class ImportBatch {
public:
    // `folder` must outlive the batch; with `lock` the batch takes it itself
    // on its first file, else the caller holds it (the window).
    ImportBatch(FileSystem& fs, FolderLock& folder, bool lock, const ImportOptions& options);
    ImportBatch(const ImportBatch&) = delete;
    ImportBatch& operator=(const ImportBatch&) = delete;

    // The contacts of one file. The first opens the phone book and reads its
    // records for the duplicates. A report that is not ok() has rolled the
    // whole batch back.
    ExchangeReport add(const std::string& source, Formato format);
    // Puts the batch on the disk in one step (RecordAppend::commit).
    chiamoro::Status commit();
    bool committed() const { return append_.committed(); }
    // The records of the phone book once the batch is committed.
    std::int32_t total() const { return append_.totalAfter(); }

private:
    chiamoro::Status open();
    chiamoro::Status importAll(ContactReader& reader, const LineReader& lines,
                               ExchangeReport& report);
    bool progress(std::int64_t done, std::int64_t whole);

    FileSystem& fs_;
    FolderLock& folder_;
    const bool lock_;
    const ImportOptions& options_;
    PhoneBookFiles files_;
    RecordAppend append_;
    DuplicateIndex index_;
    bool opened_ = false;
    bool failed_ = false;
};

// One file, as --importa takes it: the phone book locked against a window or
// another import for the time of it.
ExchangeReport importContacts(FileSystem& fs, const std::string& source, Formato format,
                              const ImportOptions& options = {});
