#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// The printing tests need a GUI application but no display; the closing line
// of a printed page is written under the Italian regional settings.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LC_ALL", "it_IT.UTF-8", 1);
#ifdef CHIAMORO_TEST_CUPS_SERVER
    setenv("CUPS_SERVER", CHIAMORO_TEST_CUPS_SERVER, 1);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
