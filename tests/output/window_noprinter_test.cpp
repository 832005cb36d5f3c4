#include "phonebookwindow.h"

#include <QLineEdit>
#include <QPrinterInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// "Stampa contatto" with a print server that has no printer at all
// (cups-fixture.sh start-empty, reached through CUPS_SERVER).
class StampaContattoSenzaStampante : public PhoneBookWindow {
protected:
    void SetUp() override {
        PhoneBookWindow::SetUp();
        if (geteuid() != 0) {
            GTEST_SKIP() << "the print server is set up only when the tests run as root";
        }
        ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty())
            << "expected a print server without printers at " << qgetenv("CUPS_SERVER").data();
    }
};

TEST_F(StampaContattoSenzaStampante, ShowsTheErrorBoxOnEveryClickAndGoesOn) {
    const std::string data =
        record(u"333 1234567", u"Anna", u"amica") + record(u"06 5551234", u"Bruno", u"");
    open(data);
    box("txtChiamoro")->setText(QStringLiteral("Anna Maria"));

    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        dialogs.calls.clear();
        click("Command3");
        ASSERT_EQ(dialogs.calls.size(), 1u);
        const ScriptedDialogs::Call& call = dialogs.calls.front();
        EXPECT_EQ(call.kind, "message");
        EXPECT_EQ(call.text, u"C'è un problema di stampa");
        EXPECT_EQ(call.style, 48);
        EXPECT_EQ(call.title, std::optional<std::u16string>(u"Errore di stampa"));

        EXPECT_FALSE(window->hasEnded());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Record  1/ 2"));
        EXPECT_EQ(window->text(Casella::txtChiamoro), u"Anna Maria");
        EXPECT_EQ(readFile("Chiamoro.DAT"), data);
    }

    // The program goes on: the other commands still work.
    click("cmdSuccessivo");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Record  2/ 2"));
}

} // namespace
