#include "ui/frmchiamoro.h"

#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <xcb/xcb.h>

namespace {

// Qt aborts with a long message when it finds no display. Say it in one line
// instead, with the way to start the program without a screen.
bool displayAvailable(const char* program) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb")) {
        return true; // the user chose another platform
    }
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
            return true;
        }
        std::fprintf(stderr,
                     "chiamoro: nessun display grafico disponibile (DISPLAY non impostato); "
                     "per avviarlo senza schermo: xvfb-run %s\n",
                     program);
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reached) {
        std::fprintf(stderr,
                     "chiamoro: impossibile collegarsi al display grafico \"%s\"; "
                     "per avviarlo senza schermo: xvfb-run %s\n",
                     display.constData(), program);
    }
    return reached;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable(argc > 0 ? argv[0] : "chiamoro")) {
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chiamoro"));
    // The window says when the program ends, and with which status.
    QApplication::setQuitOnLastWindowClosed(false);

    frmChiamoro window;
    QObject::connect(&window, &frmChiamoro::finished, &app, &QCoreApplication::exit);
    window.formLoad();
    if (window.hasEnded()) {
        return window.exitStatus();
    }
    window.show();
    return QApplication::exec();
}
