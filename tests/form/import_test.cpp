// Files imported into the open phone book: the box that tells what came in,
// the shown record and its unsaved edits, a refused file, a cancelled import.

#include "harness.h"

#include <gtest/gtest.h>

namespace {

using ImportTest = PhoneBookTest;

constexpr const char* kCards = "BEGIN:VCARD\r\nFN:Anna\r\nTEL:111\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nFN:Bruno\r\nTEL:+39 06 222\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nFN:Carla\r\nTEL:333\r\nEND:VCARD\r\n";

TEST_F(ImportTest, TheBoxTellsWhatCameInAndTheEditsStayOnTheirRecord) {
    const std::string book = record("111", "Anna") + record("06 222", "Bruno");
    const struct {
        const char* what;
        std::string file;
        Stile style;
        std::u16string text;
    } cases[] = {
        {"new contacts only", "BEGIN:VCARD\r\nFN:Carla\r\nTEL:333\r\nEND:VCARD\r\n",
         Stile::Informazione,
         u"Da \"telefono.vcf\": importato 1 contatto.\r\nLa rubrica ora ha 3 contatti."},
        {"two already there", kCards, Stile::Avviso,
         u"Da \"telefono.vcf\": importato 1 contatto; 2 c'erano già.\r\n"
         u"La rubrica ora ha 3 contatti."},
        {"the same number under another name",
         "BEGIN:VCARD\r\nFN:Dario\r\nTEL:+39 111\r\nEND:VCARD\r\n", Stile::Informazione,
         u"Da \"telefono.vcf\": importato 1 contatto; 1 potrebbe essere un doppione.\r\n"
         u"La rubrica ora ha 3 contatti."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.calls.clear();
        start(book);
        form->cmdSuccessivoClick();
        type(Casella::txtChiamoro, u"Bruno Neri"); // not saved yet
        writeFile("telefono.vcf", c.file);
        form->importFiles({{"telefono.vcf", "telefono.vcf", std::nullopt}});
        ASSERT_EQ(dialogs.messages().size(), 0u);
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].kind, "report");
        EXPECT_EQ(dialogs.calls[0].style, c.style);
        EXPECT_EQ(dialogs.calls[0].text, c.text);
        EXPECT_EQ(view.title, u"Record  2/ 3");
        EXPECT_EQ(shown(Casella::txtChiamoro), u"Bruno Neri");
        form->cmdPrecedenteClick(); // saves the edit into record 2
        EXPECT_EQ(data().substr(0, 2 * kLunghezzaRecord),
                  record("111", "Anna") + record("06 222", "Bruno Neri"));
        form.reset();
    }
    // The details are the report the command line prints.
    EXPECT_EQ(dialogs.calls[0].details,
              u"\"telefono.vcf\", riga 1: stesso numero del contatto 1 (\"Anna\"), con un altro "
              u"nome: importato, ma potrebbe essere un doppione.\n"
              u"importato 1 contatto da \"telefono.vcf\", di cui 0 modificati; 1 possibile "
              u"doppione; la rubrica ora ne ha 3.");
}

TEST_F(ImportTest, ARefusedOrCancelledImportLeavesThePhoneBookAsItWas) {
    const std::string book = record("111", "Anna");
    std::string many = "Numero,Nome\r\n";
    for (int i = 0; i < 20000; ++i) {
        many += "0" + std::to_string(700000 + i) + ",Contatto " + std::to_string(i) + "\r\n";
    }
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::optional<int> cancelAfter;
        std::u16string box; // none for a cancel
    } cases[] = {
        {"not a vCard",
         {{"telefono.vcf", kCards}, {"rotto.vcf", "solo testo\r\n"}},
         std::nullopt,
         u"\"rotto.vcf\", riga 1: non è una scheda vCard (ogni contatto va da BEGIN:VCARD a "
         u"END:VCARD). Nessun contatto è stato importato."},
        {"not a contacts file",
         {{"foto.jpg", "JFIF"}},
         std::nullopt,
         u"\"foto.jpg\" non è un file di contatti: si importano i file .vcf, .vcard e .csv. "
         u"Nessun contatto è stato importato."},
        {"cancelled", {{"molti.csv", many}}, 2, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.calls.clear();
        dialogs.cancelAfter = c.cancelAfter;
        start(book);
        std::vector<ImportSource> sources;
        for (const auto& [name, bytes] : c.files) {
            writeFile(name, bytes);
            sources.push_back({name, name, std::nullopt});
        }
        form->importFiles(sources);
        EXPECT_EQ(data(), book);
        EXPECT_EQ(view.title, u"Record  1/ 1");
        EXPECT_EQ(dialogs.calls.empty(), c.box.empty());
        if (!c.box.empty()) {
            EXPECT_EQ(dialogs.calls.back().style, Stile::Avviso);
            EXPECT_EQ(dialogs.calls.back().text, c.box);
        }
        EXPECT_FALSE(form->ended());
        EXPECT_FALSE(fileExists(kScratchFileName));
        form.reset();
    }
}

TEST_F(ImportTest, InAnEmptyPhoneBookTheContactsTakeTheBlankRecordsPlace) {
    writeFile("telefono.vcf", kCards);
    for (const bool typed : {false, true}) {
        SCOPED_TRACE(typed);
        ::unlink(kDataFileName);
        start();
        if (typed) {
            type(Casella::txtNome, u"999");
        }
        form->importFiles({{"telefono.vcf", "telefono.vcf", std::nullopt}});
        EXPECT_EQ(view.title, typed ? u"Record  1/ 4" : u"Record  1/ 3");
        EXPECT_EQ(shown(Casella::txtChiamoro), typed ? u"" : u"Anna");
        EXPECT_EQ(data().substr(0, kLunghezzaRecord),
                  typed ? record("999", "") : record("111", "Anna"));
        form.reset();
    }
}

} // namespace
