// "Stampa contatto" in the window when there is no printer at all.

#include "support/windowtest.h"

#include <QLineEdit>
#include <QPrinterInfo>
#include <gtest/gtest.h>

namespace {

// "Stampa contatto" with a print server that has no printer at all.
class StampaContattoSenzaStampante : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty())
            << "expected the print server without printers at " << qgetenv("CUPS_SERVER").data()
            << " (ctest starts it: output.noprinter.start)";
    }
};

TEST_F(StampaContattoSenzaStampante, ShowsTheErrorBoxOnEveryClickAndGoesOn) {
    const std::string data =
        record(u"333 1234567", u"Anna", u"amica") + record(u"06 5551234", u"Bruno", u"");
    open(data);
    control<QLineEdit>("txtChiamoro")->setText(QStringLiteral("Anna Maria"));

    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        dialogs.calls.clear();
        click("Command3");
        EXPECT_TRUE(dialogs.showedOnlyThePrintFailure());

        EXPECT_FALSE(window->ended());
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
