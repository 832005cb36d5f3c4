#pragma once

#include "form/interfaces.h"
#include "form/rubrica.h"
#include "ui/qtdesktop.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

class LimitedTextEdit;
class QLabel;
class QMimeData;
class QLineEdit;
class QPushButton;
namespace layout {
struct Control;
}

// The phone book's one window. It lays out its nineteen controls as the table
// in ui/layout.h gives them, shows what the logic writes into the three contact
// boxes and the title, forwards each click to the logic, and grows to show the
// information text while the pointer passes over "Info" (and shrinks again
// over the quit button, the picture or the comments box).
//
// The window ends the program by emitting finished(): after the quit button
// (status 0, record saved), after the close box (status 0, nothing saved) and
// after a file failure that the logic has reported (non-zero). From then on no
// handler of the window does anything.
class frmChiamoro : public QWidget, public View {
    Q_OBJECT

public:
    // Asks the user through Qt's message and input boxes.
    explicit frmChiamoro(QWidget* parent = nullptr);
    // Asks the user through `dialogs`, which must outlive the window.
    explicit frmChiamoro(Dialogs& dialogs, QWidget* parent = nullptr);
    ~frmChiamoro() override;

    // The form's load handler: opens "Chiamoro.DAT" in the current folder and
    // shows record 1. Call it once, before the window is first shown; if the
    // program has ended by then (another copy holds the phone book, the file
    // cannot be opened), the window must not be shown.
    void formLoad();

    bool ended() const { return ended_; }
    int exitStatus() const { return exitStatus_; }

    // Imports files into the open phone book (given on the command line or
    // handed over by another copy); a drop on the window does the same.
    void importFiles(const QStringList& files);

    // The initial text of Text1, with CR LF line breaks.
    static QString infoText();
    static constexpr const char16_t* kContactAddress = u"chiamoro@example.org";

    // View: what the logic reads and writes.
    std::u16string text(Casella box) const override;
    void setText(Casella box, const std::u16string& text) override;
    void setTitle(const std::u16string& title) override;
    void setFocus(Casella box) override;
    void setBusy(bool busy) override;
    using QWidget::setFocus;

signals:
    void finished(int status);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmChiamoro(Dialogs* dialogs, QWidget* parent);
    void createControls();
    QWidget* createControl(const layout::Control& row);
    void run(void (Rubrica::*handler)());
    void finish(int status);
    bool takeDrop(QEvent* event); // a drag or a drop of contacts, taken
    void dropped(const QMimeData& data);
    void importSources(const std::vector<ImportSource>& sources);
    void setClientHeight(int height);
    QWidget* widgetOf(Casella box) const;

    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs& dialogs_;
    QtDesktop desktop_;
    Rubrica rubrica_;
    bool ended_ = false;
    int exitStatus_ = 0;
    bool importing_ = false;
    std::vector<ImportSource> pending_;

    // The controls the window itself works with; ui/layout.h lists them all.
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtNome = nullptr;
    QLineEdit* txtChiamoro = nullptr;
    LimitedTextEdit* txtCommenti = nullptr;
    LimitedTextEdit* Text1 = nullptr;
    QPushButton* cmdEsci = nullptr;
};
