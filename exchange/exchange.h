#pragma once

#include "exchange/contattolibero.h"
#include "exchange/problem.h"
#include "exchange/reader.h"
#include "store/filesystem.h"
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
    std::int32_t total = 0;    // import: the records in the phone book afterwards
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

// Adds the contacts of `source` at the end of the phone book, all or none:
// taken as the window takes it (through a link, locked against a window or
// another import, created if missing), appended where "Nuovo" would append
// and synced once at the end (see RecordAppend). A file that turns out not to
// be what its name says, or any failed operation, leaves the data file as it
// was, byte for byte. The phone book itself is never a source (EINVAL). A
// line or field of the file that is skipped or read otherwise than it stands
// goes to `onNotice`; the rest is imported. Memory stays the same whatever
// the file: a file that needs more is refused (ENOMEM).
ExchangeReport importContacts(FileSystem& fs, const std::string& source, Formato format,
                              const ChangeReport& onChange = {}, const NoticeReport& onNotice = {});
