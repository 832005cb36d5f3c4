#include "qtdialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Line breaks reach the dialogs as CR LF.
QString boxText(const std::u16string& text) {
    return QString::fromStdU16String(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Keeps a question open until one of its buttons answers it: Esc and a close
// request from the window manager are ignored.
class AnswerWithButtonsOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
            return true;
        }
        // Answering with a button closes the box too, but not spontaneously.
        if (event->type() == QEvent::Close && event->spontaneous()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

QMessageBox::Icon iconOf(Stile style) {
    switch (style) {
    case Stile::Critico:
        return QMessageBox::Critical;
    case Stile::Avviso:
        return QMessageBox::Warning;
    case Stile::Ok:
    case Stile::SiNo:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {}

Risposta QtDialogs::messageBox(const std::u16string& text, Stile style,
                               const std::optional<std::u16string>& title) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdU16String(title.value_or(kApplicationTitle)));
    box.setTextFormat(Qt::PlainText);
    box.setText(boxText(text));
    box.setIcon(iconOf(style));

    AnswerWithButtonsOnly filter;
    if (style == Stile::SiNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        yes->setText(QStringLiteral("Sì"));
        box.addButton(QMessageBox::No)->setText(QStringLiteral("No"));
        box.setDefaultButton(yes);
        box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        box.installEventFilter(&filter);
    } else {
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
    }
    box.exec();

    if (box.clickedButton() == box.button(QMessageBox::Yes)) {
        return Risposta::Si;
    }
    if (box.clickedButton() == box.button(QMessageBox::No)) {
        return Risposta::No;
    }
    return Risposta::Ok;
}

std::u16string QtDialogs::inputBox(const std::u16string& prompt, const std::u16string& title) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QString::fromStdU16String(title));
    dialog.setLabelText(boxText(prompt));
    if (auto* label = dialog.findChild<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Annulla"));
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.textValue().toStdU16String();
}

void QtDialogs::beep() {
    QApplication::beep();
}
