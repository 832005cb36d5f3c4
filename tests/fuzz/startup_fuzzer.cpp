// Start-up and browsing on arbitrary data file contents and lengths.
//
// Each input becomes "Chiamoro.DAT" in a scratch folder; the phone book starts
// on it, shows records, searches, appends and deletes, and checks what it can
// know about the file from its length alone.

#include "form/rubrica.h"
#include "scratch.h"
#include "support/quietfakes.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

bool trimmed(const std::u16string& text) {
    return text.empty() || (text.front() != u' ' && text.back() != u' ');
}

std::int64_t fileLength() {
    return static_cast<std::int64_t>(std::filesystem::file_size(kDataFileName));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enterScratchFolder();
    std::filesystem::remove(kScratchFileName);
    {
        std::ofstream out(kDataFileName, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const auto length = static_cast<std::int64_t>(size);
    const auto expected = static_cast<std::int32_t>(std::max(1.0, std::nearbyint(length / 180.0)));

    FakeView view;
    QuietDialogs dialogs;
    FakeDesktop desktop;
    Rubrica form(view, dialogs, desktop);
    form.formLoad();
    // A failed file operation ends the program.
    require(!form.ended(), "start-up failed");
    require(form.totaleRecord() == expected, "record count");
    for (const auto& [box, text] : view.texts) {
        require(trimmed(text), "shown text not trimmed");
        require(text.size() <= 100, "shown text too long");
    }

    // Browse to the end and back: saving rewrites each record as shown.
    for (int i = 0; i < 3 && form.recordCorrente() < form.totaleRecord(); ++i) {
        form.cmdSuccessivoClick();
    }
    form.cmdPrecedenteClick();
    require(fileLength() >= length, "browsing shrank the file");

    // Search by a name taken from the input itself.
    if (size > 0) {
        dialogs.typed = std::u16string(1, static_cast<char16_t>(data[0]));
        form.command1Click();
        dialogs.typed = u"?";
        form.cmdCercaClick();
    }

    // Append, then delete what was appended: back to whole records.
    const std::int32_t total = form.totaleRecord();
    form.cmdNuovoClick();
    require(form.totaleRecord() == total + 1 && form.recordCorrente() == total + 1, "new");
    form.cmdCancellaClick();
    require(form.totaleRecord() == total, "delete");
    require(fileLength() == static_cast<std::int64_t>(total) * 180, "delete length");
    require(!form.ended(), "a command failed");
    return 0;
}
