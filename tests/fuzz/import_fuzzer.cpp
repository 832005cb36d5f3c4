// Imports of arbitrary files: the first byte picks vCard ('v'), a
// spreadsheet's CSV ('f') or CSV (any other), the rest is the file. Whatever
// the file holds, the import adds whole records or nothing, never leaves its
// scratch file behind, reports lines that are in the file, and what it added
// goes out as CSV and comes back byte for byte.

#include "exchange/exchange.h"
#include "scratch.h"
#include "store/recordfile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    enterScratchFolder();
    const Formato format = data[0] == 'v'   ? Formato::VCard
                           : data[0] == 'f' ? Formato::Foglio
                                            : Formato::Csv;
    {
        std::ofstream out("contatti", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    // A book of one record, so that the import appends after something.
    const std::string before(kLunghezzaRecord, 'x');
    {
        std::ofstream out(kDataFileName, std::ios::binary | std::ios::trunc);
        out << before;
    }
    // No more lines than line-end bytes, and one.
    const auto lines = static_cast<std::int64_t>(std::count(data + 1, data + size, '\n') +
                                                 std::count(data + 1, data + size, '\r')) +
                       1;
    const auto changed = [lines](std::int64_t line, const std::vector<FieldChange>& changes) {
        require(line >= 1 && line <= lines && !changes.empty(), "a change reported at no line");
    };
    const auto noticed = [lines](const Notice& notice) {
        require(
            notice.kind == Notice::Kind::MoreNotices ||
                (notice.line >= 1 && notice.lastLine >= notice.line && notice.lastLine <= lines),
            "a notice at no line of the file");
    };
    const ExchangeReport report = importContacts(posixFileSystem(), "contatti", format,
                                                 {.onChange = changed, .onNotice = noticed});
    std::string after;
    {
        std::ifstream in(kDataFileName, std::ios::binary);
        after.assign(std::istreambuf_iterator<char>(in), {});
    }
    require(!std::filesystem::exists(kScratchFileName), "scratch file left behind");
    if (!report.ok()) {
        require(after == before, "a failed import changed the book");
        return 0;
    }
    require(after.compare(0, before.size(), before) == 0, "the import changed a record it found");
    require(after.size() == before.size() + report.contacts * kLunghezzaRecord,
            "the import added something else than whole records");
    require(report.total == 1 + report.contacts, "the count after the import");

    // What came in goes out as CSV and back into an empty book unchanged.
    require(exportContacts(posixFileSystem(), "uscita.csv", Formato::Csv).ok(), "export");
    std::filesystem::create_directory("ritorno");
    std::filesystem::remove("ritorno/" + std::string(kDataFileName));
    require(chdir("ritorno") == 0, "chdir");
    const bool back = importContacts(posixFileSystem(), "../uscita.csv", Formato::Csv).ok();
    std::string again;
    {
        std::ifstream in(kDataFileName, std::ios::binary);
        again.assign(std::istreambuf_iterator<char>(in), {});
    }
    require(chdir("..") == 0, "chdir");
    require(back && again == after, "the contacts did not come back from CSV as they went out");
    return 0;
}
