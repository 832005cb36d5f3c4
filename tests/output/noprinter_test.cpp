#include "output/contactoutput.h"
#include "output/contacttext.h"
#include "support/tempdir.h"

#include <QPrinterInfo>
#include <gtest/gtest.h>

namespace {

// Runs against the build tree's print server without any printer.
class NoDefaultPrinter : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty())
            << "expected the print server without printers at " << qgetenv("CUPS_SERVER").data()
            << " (ctest starts it: output.noprinter.start)";
    }
};

TEST_F(NoDefaultPrinter, PrintingFailsEveryTime) {
    const QStringList texts = printTexts(QStringLiteral("Anna"), QStringLiteral("06 123"),
                                         QStringLiteral("amica"), QStringLiteral("07/03/2024"));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
}

} // namespace
