#include "qtdialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>

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
    case Stile::Informazione:
        return QMessageBox::Information;
    case Stile::Ok:
    case Stile::SiNo:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {}

QtDialogs::~QtDialogs() = default;

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

void QtDialogs::reportBox(const std::u16string& text, Stile style, const std::u16string& details) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdU16String(kApplicationTitle));
    box.setTextFormat(Qt::PlainText);
    box.setText(boxText(text));
    box.setIcon(iconOf(style));
    box.setDefaultButton(box.addButton(QMessageBox::Ok));
    box.setDetailedText(boxText(details));
    // Qt names the button in English; the window speaks Italian.
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole) {
            button->setText(QStringLiteral("Mostra dettagli..."));
        }
    }
    box.exec();
}

namespace {

// Half a second of work before the dialog shows, and then this many steps.
constexpr int kProgressShowAfterMs = 500;
constexpr int kProgressSteps = 1000;

} // namespace

bool QtDialogs::progress(const std::u16string& label, std::int64_t done, std::int64_t whole) {
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(parent_);
        progress_->setWindowTitle(QString::fromStdU16String(kApplicationTitle));
        progress_->setCancelButtonText(QStringLiteral("Annulla"));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setRange(0, kProgressSteps);
        progress_->setMinimumDuration(kProgressShowAfterMs);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progressClock_.start();
    }
    progress_->setLabelText(QString::fromStdU16String(label));
    const int step =
        whole > 0 ? static_cast<int>(std::min(done, whole) * kProgressSteps / whole) : 0;
    // setValue() shows the dialog once the time has come, and, once shown,
    // lets the events through; before that they are let through here.
    progress_->setValue(std::min(step, kProgressSteps - 1));
    // Until the dialog shows and blocks the window, a click there must wait:
    // the command under way is not finished.
    QApplication::processEvents(progress_->isVisible() ? QEventLoop::AllEvents
                                                       : QEventLoop::ExcludeUserInputEvents);
    return !progress_->wasCanceled();
}

void QtDialogs::progressEnded() {
    progress_.reset();
}
