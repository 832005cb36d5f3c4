#include "output/contactoutput.h"
#include "output/contacttext.h"
#include "support/tempdir.h"

#include <QPrinterInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Runs against a print server without any printer (cups-fixture.sh
// start-empty), reached through CUPS_SERVER.
class NoDefaultPrinter : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        if (geteuid() != 0) {
            GTEST_SKIP() << "the print server is set up only when the tests run as root";
        }
        ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty())
            << "expected a print server without printers at " << qgetenv("CUPS_SERVER").data();
    }
};

TEST_F(NoDefaultPrinter, PrintingFailsEveryTime) {
    const QStringList texts = printTexts(QStringLiteral("Anna"), QStringLiteral("06 123"),
                                         QStringLiteral("amica"), QStringLiteral("07/03/2024"));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
}

} // namespace
