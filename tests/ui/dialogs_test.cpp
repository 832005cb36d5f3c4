// The message and input boxes as Qt dialogs: buttons, icons, titles, plain
// text, and what each answer returns.

#include "support/windowtest.h"
#include "ui/qtdialogs.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>

namespace {

using QtDialogsTest = InTempDir;

QMessageBox* asMessageBox(QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    EXPECT_NE(box, nullptr);
    return box;
}

QStringList buttonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* button : box->findChild<QDialogButtonBox*>()->buttons()) {
        texts << button->text();
    }
    return texts;
}

struct Shown {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
    Qt::TextFormat format = Qt::AutoText;
    Qt::TextFormat labelFormat = Qt::AutoText;
};

// Shows a message box and answers it with its default button, noting what it showed.
Shown showMessage(const std::u16string& text, Stile style,
                  const std::optional<std::u16string>& title = std::nullopt) {
    Shown shown;
    answerNextDialog([&shown](QWidget* dialog) {
        QMessageBox* box = asMessageBox(dialog);
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.icon = box->icon();
        shown.buttons = buttonTexts(box);
        shown.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        shown.format = box->textFormat();
        shown.labelFormat = box->findChild<QLabel*>("qt_msgbox_label")->textFormat();
        box->defaultButton()->click();
    });
    EXPECT_EQ(QtDialogs().messageBox(text, style, title), Risposta::Ok);
    return shown;
}

TEST_F(QtDialogsTest, MessageStylesGiveTheirButtonsAndIcons) {
    const Shown plain = showMessage(u"Numero 333 non trovato!", Stile::Ok);
    EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
    EXPECT_EQ(plain.buttons, QStringList{"OK"});
    EXPECT_EQ(plain.title, "Chiamoro");
    EXPECT_EQ(plain.text, "Numero 333 non trovato!");

    const Shown warning =
        showMessage(u"C'è un problema di stampa", Stile::Avviso, u"Errore di stampa");
    EXPECT_EQ(warning.icon, QMessageBox::Warning);
    EXPECT_EQ(warning.buttons, QStringList{"OK"});
    EXPECT_EQ(warning.title, "Errore di stampa");
    EXPECT_EQ(warning.text, "C'è un problema di stampa");

    const Shown fatal =
        showMessage(u"Impossibile scrivere.\r\n\r\nIl programma verrà chiuso.", Stile::Critico);
    EXPECT_EQ(fatal.icon, QMessageBox::Critical);
    EXPECT_EQ(fatal.title, "Chiamoro");
    EXPECT_EQ(fatal.text, "Impossibile scrivere.\n\nIl programma verrà chiuso.");
}

TEST_F(QtDialogsTest, MessageTextIsShownLiterallyNeverAsMarkup) {
    const Shown shown = showMessage(u"Nome <B>X</B> <A HREF=\"#\">Y</A> non trovato!", Stile::Ok);
    EXPECT_EQ(shown.text, "Nome <B>X</B> <A HREF=\"#\">Y</A> non trovato!");
    EXPECT_EQ(shown.format, Qt::PlainText);
    EXPECT_EQ(shown.labelFormat, Qt::PlainText);
}

TEST_F(QtDialogsTest, YesNoBoxIsAnsweredOnlyByItsButtons) {
    for (const Risposta answer : {Risposta::Si, Risposta::No}) {
        Shown shown;
        bool stayedOpen = false;
        Qt::WindowFlags flags;
        answerNextDialog([&](QWidget* dialog) {
            QMessageBox* box = asMessageBox(dialog);
            shown.icon = box->icon();
            shown.buttons = buttonTexts(box);
            shown.defaultButton = box->defaultButton()->text();
            shown.title = box->windowTitle();
            flags = box->windowFlags();
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
            // A close request from the window manager, as Alt+F4 would send.
            QCloseEvent close;
            QSpontaneKeyEvent::setSpontaneous(&close);
            qApp->notify(box, &close);
            stayedOpen = box->isVisible();
            box->button(answer == Risposta::Si ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        EXPECT_EQ(QtDialogs().messageBox(u"Cancellare il Contatto?", Stile::SiNo), answer);
        EXPECT_TRUE(stayedOpen);
        EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_EQ(shown.icon, QMessageBox::NoIcon);
        EXPECT_EQ(shown.buttons.size(), 2);
        EXPECT_TRUE(shown.buttons.contains("Sì") && shown.buttons.contains("No"));
        EXPECT_EQ(shown.defaultButton, "Sì");
        EXPECT_EQ(shown.title, "Chiamoro");
    }
}

TEST_F(QtDialogsTest, InputBoxStartsEmptyAndGivesEmptyOnCancel) {
    struct Case {
        const char* name;
        QString typed;
        bool confirm;
        std::u16string expected;
    };
    const Case cases[] = {
        {"typed and confirmed", "3331234", true, u"3331234"},
        {"typed and cancelled", "3331234", false, u""},
        {"confirmed empty", "", true, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString initial = "?";
        QString prompt, title;
        answerNextDialog([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            ASSERT_NE(input, nullptr);
            initial = input->textValue();
            prompt = input->labelText();
            title = input->windowTitle();
            auto* field = input->findChild<QLineEdit*>();
            QTest::keyClicks(field, c.typed);
            QTest::keyClick(field, c.confirm ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(QtDialogs().inputBox(u"Inserire il Numero:", u"Cerca"), c.expected);
        EXPECT_EQ(initial, "");
        EXPECT_EQ(prompt, "Inserire il Numero:");
        EXPECT_EQ(title, "Cerca");
    }
}

// Through the window with its own Qt dialogs: a search key that looks like
// markup comes back in the not-found message as typed (upper-cased).
TEST_F(WindowTest, SearchKeyThatLooksLikeMarkupIsShownLiterally) {
    frmChiamoro real;
    real.formLoad();
    real.show();
    Shown shown;
    QString inputTitle;
    answerNextDialog([&](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        ASSERT_NE(input, nullptr);
        inputTitle = input->windowTitle();
        input->setTextValue("<b>x</b>");
        answerNextDialog([&](QWidget* next) {
            QMessageBox* box = asMessageBox(next);
            shown.text = box->text();
            shown.title = box->windowTitle();
            shown.labelFormat = box->findChild<QLabel*>("qt_msgbox_label")->textFormat();
            box->defaultButton()->click();
        });
        input->accept();
    });
    real.findChild<QPushButton*>("cmdCerca")->click();
    EXPECT_EQ(inputTitle, "Cerca");
    EXPECT_EQ(shown.text, "Numero <B>X</B> non trovato!");
    EXPECT_EQ(shown.title, "Chiamoro");
    EXPECT_EQ(shown.labelFormat, Qt::PlainText);
    EXPECT_FALSE(real.ended());
}

} // namespace
