// Imports of arbitrary files: the first byte picks vCard ('v') or CSV (any
// other), the rest is the file. Whatever the file holds, the import adds whole
// records or nothing, and never leaves its scratch file behind.

#include "exchange/exchange.h"
#include "scratch.h"
#include "store/recordfile.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    enterScratchFolder();
    const Formato format = data[0] == 'v' ? Formato::VCard : Formato::Csv;
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
    const ExchangeReport report = importContacts(posixFileSystem(), "contatti", format);
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
    return 0;
}
