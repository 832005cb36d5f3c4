// Printing when the print server has no printer: every print fails, and says so.

#include "form/contacttext.h"
#include "output/contactoutput.h"
#include "printjobs.h"
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
    const QStringList texts = qtTexts(printTexts(u"Anna", u"06 123", u"amica", u"07/03/2024"));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
    EXPECT_FALSE(printOnDefaultPrinter(texts));
}

} // namespace
