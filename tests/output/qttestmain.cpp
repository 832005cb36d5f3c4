#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// The output tests need a GUI application but no display. The closing line of
// a printed page is written under the Italian regional settings, from the
// locales compiled into the build tree. The printing tests reach the build
// tree's own print server and nothing else: no default printer of the user's
// options or environment.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LOCPATH", CHIAMORO_TEST_LOCALES, 1);
    setenv("LC_ALL", "it_IT.UTF-8", 1);
#ifdef CHIAMORO_TEST_CUPS_SERVER
    setenv("CUPS_SERVER", CHIAMORO_TEST_CUPS_SERVER, 1);
    setenv("HOME", CHIAMORO_TEST_PRINT_SERVER_DIR, 1);
    unsetenv("LPDEST");
    unsetenv("PRINTER");
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
