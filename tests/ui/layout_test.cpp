// The window and its nineteen controls against the layout tables: kinds,
// geometry, captions, fonts, colours, tooltips, stacking and tab order.

#include "support/windowtest.h"
#include "ui/frameshape.h"

#include <QDialog>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <map>

namespace {

// Positions and sizes are in twips, 15 to the pixel.
struct Placement {
    const char* name;
    const char* kind;
    int left, top, width, height;
};

const Placement kPlacements[] = {
    {"lblChiamoro", "QLabel", 1080, 0, 2175, 255},
    {"txtNome", "QLineEdit", 1080, 240, 3255, 495},
    {"lblNome", "QLabel", 1080, 840, 975, 255},
    {"txtChiamoro", "QLineEdit", 1080, 1080, 3255, 495},
    {"lblCommenti", "QLabel", 1080, 1800, 1095, 255},
    {"txtCommenti", "QPlainTextEdit", 1080, 2040, 3255, 1215},
    {"Command2", "QPushButton", 1080, 3360, 1695, 375},
    {"Command3", "QPushButton", 2880, 3360, 1455, 375},
    {"cmdCerca", "QPushButton", 4560, 120, 1455, 495},
    {"Command1", "QPushButton", 4560, 600, 1455, 495},
    {"cmdSuccessivo", "QPushButton", 4560, 1080, 1455, 495},
    {"cmdPrecedente", "QPushButton", 4560, 1560, 1455, 495},
    {"cmdNuovo", "QPushButton", 4560, 2160, 1455, 495},
    {"cmdCancella", "QPushButton", 4560, 2760, 1455, 495},
    {"cmdEsci", "QPushButton", 4560, 3360, 1455, 375},
    {"Image1", "QLabel", 240, 360, 1500, 3000},
    {"Label1", "QLabel", 240, 3600, 495, 255},
    {"Text1", "QPlainTextEdit", 240, 4080, 5775, 1695},
    {"Shape1", "FrameShape", 0, 0, 6255, 3975},
};

struct Appearance {
    const char* name;
    const char* caption;
    const char* family;
    double points;
    bool bold;
};

const Appearance kAppearances[] = {
    {"lblChiamoro", "Chiamoro o Cellulare:", "Times New Roman", 9.75, true},
    {"txtNome", "", "Arial", 14.25, true},
    {"lblNome", "Nome:", "Times New Roman", 9.75, true},
    {"txtChiamoro", "", "Arial", 12, false},
    {"lblCommenti", "Commenti:", "Times New Roman", 9.75, true},
    {"txtCommenti", "", "Times New Roman", 9.75, false},
    {"Command2", "Copia Contatto", "MS Sans Serif", 8.25, false},
    {"Command3", "Stampa contatto", "MS Sans Serif", 8.25, false},
    {"cmdCerca", "Cerca N°", "Times New Roman", 12, true},
    {"Command1", "Cerca Nome", "MS Sans Serif", 8.25, true},
    {"cmdSuccessivo", "Successivo", "Times New Roman", 9.75, false},
    {"cmdPrecedente", "Precedente", "Times New Roman", 9.75, false},
    {"cmdNuovo", "Nuovo", "Times New Roman", 9.75, true},
    {"cmdCancella", "Cancella", "Times New Roman", 9.75, false},
    {"cmdEsci", "&Esci", "MS Sans Serif", 8.25, false},
    {"Label1", "Info", "Comic Sans MS", 9.75, true},
    {"Text1", nullptr, "MS Sans Serif", 8.25, false},
};

// What the named fonts become on this system.
const std::map<std::string, QString> kInstalledFamily = {
    {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Comic Sans MS", "Comic Neue"},
};

QString captionOf(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        return button->text();
    }
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        return line->text();
    }
    return qobject_cast<QPlainTextEdit*>(control)->toPlainText();
}

const QColor kOrange(255, 128, 0);
const QColor kLightYellow(255, 255, 192);

using LayoutTest = WindowTest;

TEST_F(LayoutTest, WindowIsAFixedToolWindowOfTheLaidOutSize) {
    open();
    EXPECT_EQ(window->objectName(), "frmChiamoro");
    EXPECT_EQ(qobject_cast<QDialog*>(window.get()), nullptr);
    // Client area 6255 x 3990 twips, and the user cannot resize it.
    EXPECT_EQ(window->size(), QSize(417, 266));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());

    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Window));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    EXPECT_EQ(window->windowTitle(), "Record  1/ 1");
    const qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    EXPECT_EQ(window->devicePixelRatio(), ratio);
    EXPECT_EQ(render(window.get()).size(), QSize(417, 266) * ratio);
    const QList<QSize> iconSizes = window->windowIcon().availableSizes();
    EXPECT_TRUE(iconSizes.contains(QSize(16, 16)));
    EXPECT_TRUE(iconSizes.contains(QSize(32, 32)));

    // Esc is no cancel key here.
    QTest::keyClick(control("txtNome"), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(finished->count(), 0);
}

TEST_F(LayoutTest, ControlsHaveTheirKindPositionAndSize) {
    open();
    EXPECT_EQ(window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(),
              qsizetype(std::size(kPlacements)));
    for (const Placement& p : kPlacements) {
        SCOPED_TRACE(p.name);
        QWidget* widget = control(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), window.get());
        EXPECT_TRUE(widget->inherits(p.kind)) << widget->metaObject()->className();
        EXPECT_EQ(widget->geometry(), QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15));
        EXPECT_TRUE(widget->isVisibleTo(window.get()));
    }
    // The picture at its natural size.
    EXPECT_EQ(control<QLabel>("Image1")->pixmap().size(), QSize(100, 200));
}

TEST_F(LayoutTest, CaptionsAndFontsFollowTheTable) {
    open();
    for (const Appearance& a : kAppearances) {
        SCOPED_TRACE(a.name);
        QWidget* widget = control(a.name);
        ASSERT_NE(widget, nullptr);
        if (a.caption) {
            EXPECT_EQ(captionOf(widget), QString::fromUtf8(a.caption));
        }
        const QFont font = widget->font();
        EXPECT_EQ(font.family(), a.family);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), a.points);
        EXPECT_EQ(font.weight(), a.bold ? QFont::Bold : QFont::Normal);
        EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
        // The font actually used: the installed stand-in, not a poor fallback.
        EXPECT_EQ(QFontInfo(font).family(), kInstalledFamily.at(a.family));
        EXPECT_EQ(QFontInfo(font).bold(), a.bold);
    }
    // Alt+E is the quit button's access key.
    EXPECT_EQ(control<QPushButton>("cmdEsci")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_E));
}

TEST_F(LayoutTest, TooltipsAreExact) {
    open();
    const std::map<std::string, QString> tooltips = {
        {"txtNome", "Inserire n° di chiamoro o cellulare"},
        {"txtChiamoro", "Inserire il Nome del contatto"},
        {"txtCommenti", "Inserire commenti o Numeri secondari (facoltativo e non compreso  nella "
                        "ricerca) Max 65 Caratteri!"},
        {"Command2",
         "Copia Contatto in memoria, per una personalizzata impaginazione in Word o altro."},
    };
    for (const Placement& p : kPlacements) {
        const auto it = tooltips.find(p.name);
        EXPECT_EQ(control(p.name)->toolTip(), it == tooltips.end() ? QString() : it->second)
            << p.name;
    }
}

TEST_F(LayoutTest, ContactBoxesAreNamedByTheirCaptions) {
    open();
    EXPECT_EQ(control("txtNome")->accessibleName(), "Chiamoro o Cellulare:");
    EXPECT_EQ(control("txtChiamoro")->accessibleName(), "Nome:");
    EXPECT_EQ(control("txtCommenti")->accessibleName(), "Commenti:");
}

TEST_F(LayoutTest, ColoursOfTheWindowTheCaptionsAndTheBoxes) {
    open();
    for (const char* name : {"lblChiamoro", "lblNome", "lblCommenti"}) {
        auto* label = control<QLabel>(name);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), kLightYellow) << name;
        EXPECT_FALSE(label->autoFillBackground()) << name;
    }
    auto* info = control<QLabel>("Label1");
    EXPECT_TRUE(info->autoFillBackground());
    EXPECT_EQ(info->palette().color(QPalette::Window), kOrange);
    EXPECT_EQ(control("txtNome")->palette().color(QPalette::Text), QColor(0, 0, 192));
    EXPECT_EQ(control("txtChiamoro")->palette().color(QPalette::Text),
              QApplication::palette().color(QPalette::Text));
    EXPECT_EQ(control("cmdEsci")->palette().color(QPalette::Button),
              QApplication::palette().color(QPalette::Button));

    const QImage shot = render(window.get());
    EXPECT_EQ(pixelAt(shot, {250, 5}), kOrange);   // background
    EXPECT_EQ(pixelAt(shot, {250, 265}), kOrange); // below the frame
    // The frame line on the four edges of (0, 0)-(417, 265) pixels.
    for (const QPoint edge : {QPoint(250, 0), QPoint(0, 100), QPoint(416, 100), QPoint(100, 264)}) {
        EXPECT_EQ(pixelAt(shot, edge), kLightYellow) << edge.x() << "," << edge.y();
    }
    // The captions are drawn in light yellow on the orange background.
    int yellow = 0;
    const QRect caption = control("lblChiamoro")->geometry().adjusted(0, 1, 0, 0);
    for (int y = caption.top(); y <= caption.bottom(); ++y) {
        for (int x = caption.left(); x <= caption.right(); ++x) {
            yellow += pixelAt(shot, {x, y}) == kLightYellow;
        }
    }
    EXPECT_GT(yellow, 20);
}

TEST_F(LayoutTest, PictureShowsStillWithTheBackgroundThroughItsTransparentColour) {
    open();
    const QImage picture(":/assets/handset.gif");
    ASSERT_EQ(picture.size(), QSize(100, 200));
    ASSERT_TRUE(picture.hasAlphaChannel());
    const QImage shot = render(window.get());
    QWidget* image = control("Image1");
    // Where a pixel and its neighbours have one colour, the screen shows that
    // colour whatever the scaling; a transparent one shows the background.
    const auto uniform = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint near(x + dx, y + dy);
                if (!picture.rect().contains(near) ||
                    window->childAt(image->pos() + near) != image ||
                    picture.pixel(near) != picture.pixel(x, y)) {
                    return false;
                }
            }
        }
        return true;
    };
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!uniform(x, y)) {
                continue;
            }
            const QColor source = picture.pixelColor(x, y);
            const QColor shown = pixelAt(shot, image->pos() + QPoint(x, y));
            if (source.alpha() == 0) {
                ++transparent;
                EXPECT_EQ(shown, kOrange) << x << "," << y;
            } else {
                ++opaque;
                EXPECT_EQ(shown, source) << x << "," << y;
            }
        }
    }
    EXPECT_GT(transparent, 100);
    EXPECT_GT(opaque, 100);
}

TEST_F(LayoutTest, StackingPutsBoxesAndButtonsOverLabelsOverPictureOverFrame) {
    open();
    const QObjectList order = window->children();
    const auto level = [&](const char* name) { return order.indexOf(control(name)); };
    const char* const onTop[] = {"txtNome",  "txtChiamoro",   "txtCommenti",   "Text1",
                                 "Command1", "Command2",      "Command3",      "cmdCerca",
                                 "cmdNuovo", "cmdSuccessivo", "cmdPrecedente", "cmdCancella",
                                 "cmdEsci"};
    for (const char* upper : onTop) {
        for (const char* lower : {"lblChiamoro", "lblNome", "lblCommenti", "Label1", "Image1"}) {
            EXPECT_GT(level(upper), level(lower)) << upper << " over " << lower;
        }
    }
    for (const char* label : {"lblChiamoro", "lblNome", "lblCommenti", "Label1"}) {
        EXPECT_GT(level(label), level("Image1")) << label;
    }
    for (const Placement& p : kPlacements) {
        if (std::string(p.name) != "Shape1") {
            EXPECT_LT(level("Shape1"), level(p.name)) << p.name;
        }
    }

    // Where controls overlap, the pointer finds the upper one.
    EXPECT_EQ(window->childAt(350, 40), control("Command1"));       // over cmdCerca
    EXPECT_EQ(window->childAt(350, 72), control("Command1"));       // over cmdSuccessivo
    EXPECT_EQ(window->childAt(350, 104), control("cmdPrecedente")); // over cmdSuccessivo
    EXPECT_EQ(window->childAt(80, 60), control("lblNome"));         // over the picture
    EXPECT_EQ(window->childAt(80, 30), control("txtNome"));         // over the picture
    // The frame takes no input: the background shows where it runs.
    EXPECT_EQ(window->childAt(0, 100), nullptr);
}

TEST_F(LayoutTest, TabCyclesThroughTheControlsInOrderBothWays) {
    open();
    const QStringList cycle = {"txtNome",       "txtChiamoro", "txtCommenti", "cmdSuccessivo",
                               "cmdPrecedente", "cmdNuovo",    "cmdEsci",     "cmdCancella",
                               "cmdCerca",      "Text1",       "Command1",    "Command3",
                               "Command2",      "txtNome"};
    EXPECT_EQ(QApplication::focusWidget(), control("txtNome"));

    QStringList forwards = {QApplication::focusWidget()->objectName()};
    for (int i = 1; i < cycle.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forwards << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(forwards, cycle);

    QStringList backwards = {QApplication::focusWidget()->objectName()};
    for (int i = 1; i < cycle.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backwards << QApplication::focusWidget()->objectName();
    }
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(backwards, cycle);

    for (const char* name :
         {"lblChiamoro", "lblNome", "lblCommenti", "Label1", "Image1", "Shape1"}) {
        EXPECT_EQ(control(name)->focusPolicy(), Qt::NoFocus) << name;
    }
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    }
}

TEST_F(LayoutTest, HiddenInfoBoxIsReachedByTabAndEditable) {
    open();
    auto* info = control<QPlainTextEdit>("Text1");
    control("cmdCerca")->setFocus();
    QTest::keyClick(control("cmdCerca"), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), info);
    EXPECT_GT(info->y(), window->height()); // still outside the visible area
    QTest::keyClick(info, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(info, "xy");
    EXPECT_TRUE(info->toPlainText().startsWith("xy"));
}

TEST_F(LayoutTest, InfoTextHasElevenLinesWithTheFileName) {
    open();
    const QString text = frmChiamoro::infoText();
    const QString address = QString::fromUtf16(frmChiamoro::kContactAddress);
    EXPECT_EQ(text.size() - address.size(), 475);
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_EQ(text.count("\r\n"), 11);
    EXPECT_EQ(text.count('\n'), 11);
    EXPECT_EQ(text.count('\r'), 11);

    const QStringList lines = text.chopped(2).split("\r\n");
    ASSERT_EQ(lines.size(), 11);
    const auto spaced = [](int spaces, const QString& rest) { return QString(spaces, ' ') + rest; };
    EXPECT_EQ(lines[0], spaced(13, "°ATTENZIONE!,all'avvio del programma , "));
    EXPECT_EQ(lines[1], spaced(11, "si creerà automaticamente un file \"Chiamoro.DAT\""));
    EXPECT_EQ(lines[2], spaced(11, "nella stessa posizione in qùi risiede il file exe,"));
    EXPECT_EQ(lines[3], spaced(11, "NON eliminatelo! dato"));
    EXPECT_EQ(lines[4], spaced(11, "che in tal caso verrebbero eliminati i vostri"));
    EXPECT_EQ(lines[5], spaced(11, "numeri, nomi e commenti."));
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], spaced(10, QString(64, '-')));
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], spaced(18, "Per eventuali ulteriori informazioni:"));
    EXPECT_EQ(lines[10], spaced(28, address + " "));
    EXPECT_TRUE(address.contains('@'));

    // Shown as eleven lines and an empty last one.
    auto* info = control<QPlainTextEdit>("Text1");
    EXPECT_EQ(info->toPlainText(), QString(text).replace("\r\n", "\n"));
    EXPECT_EQ(info->blockCount(), 12);
    EXPECT_EQ(info->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(info->isReadOnly());
}

} // namespace
