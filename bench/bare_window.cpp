// The floor for start-up: a bare Qt window with the nineteen controls of the
// phone book's window (two one-line boxes, two multi-line boxes, nine buttons,
// four labels, a picture and a frame) at their places, and nothing else: no
// fonts, colours, pointers, pictures or data file. It quits as soon as the
// window has been shown.

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

// Positions and sizes in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename Control>
Control* place(QWidget* window, const QRect& where, const QString& text = {}) {
    auto* control = new Control(window);
    control->setGeometry(where);
    if constexpr (requires { control->setText(text); }) {
        if (!text.isEmpty()) {
            control->setText(text);
        }
    }
    return control;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(6255 / 15, 3990 / 15);

    auto* frame = place<QFrame>(&window, twips(0, 0, 6255, 3975));
    frame->setFrameShape(QFrame::Box);
    place<QLabel>(&window, twips(240, 360, 1500, 3000)); // the picture
    place<QLabel>(&window, twips(1080, 0, 2175, 255), QStringLiteral("Chiamoro o Cellulare:"));
    place<QLineEdit>(&window, twips(1080, 240, 3255, 495));
    place<QLabel>(&window, twips(1080, 840, 975, 255), QStringLiteral("Nome:"));
    place<QLineEdit>(&window, twips(1080, 1080, 3255, 495));
    place<QLabel>(&window, twips(1080, 1800, 1095, 255), QStringLiteral("Commenti:"));
    place<QPlainTextEdit>(&window, twips(1080, 2040, 3255, 1215));
    place<QPushButton>(&window, twips(1080, 3360, 1695, 375), QStringLiteral("Copia Contatto"));
    place<QPushButton>(&window, twips(2880, 3360, 1455, 375), QStringLiteral("Stampa contatto"));
    place<QPushButton>(&window, twips(4560, 120, 1455, 495), QStringLiteral("Cerca N°"));
    place<QPushButton>(&window, twips(4560, 600, 1455, 495), QStringLiteral("Cerca Nome"));
    place<QPushButton>(&window, twips(4560, 1080, 1455, 495), QStringLiteral("Successivo"));
    place<QPushButton>(&window, twips(4560, 1560, 1455, 495), QStringLiteral("Precedente"));
    place<QPushButton>(&window, twips(4560, 2160, 1455, 495), QStringLiteral("Nuovo"));
    place<QPushButton>(&window, twips(4560, 2760, 1455, 495), QStringLiteral("Cancella"));
    place<QPushButton>(&window, twips(4560, 3360, 1455, 375), QStringLiteral("&Esci"));
    place<QLabel>(&window, twips(240, 3600, 495, 255), QStringLiteral("Info"));
    place<QPlainTextEdit>(&window, twips(240, 4080, 5775, 1695));

    window.setWindowTitle(QStringLiteral("Record  1/ 1"));
    window.show();
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return application.exec();
}
