#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widgets tests need no display; ctest sets this too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The sockets through which a second program hands files to a window go
    // into a folder of the tests' own, gone at the end.
    QTemporaryDir runtime;
    if (!runtime.isValid() ||
        !QFile::setPermissions(runtime.path(),
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return 1;
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // No test prints on a real printer, whatever printers the machine has.
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    // --scale-factor=N runs the tests at device pixel ratio N.
    constexpr const char* kScale = "--scale-factor=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kScale, std::strlen(kScale)) == 0) {
            qputenv("QT_SCALE_FACTOR", QByteArray(argv[i] + std::strlen(kScale)));
        }
    }

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
