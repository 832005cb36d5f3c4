// The window and its nineteen controls against the layout table of
// ui/layout.h: kinds, geometry, captions, fonts, colours, tooltips, stacking
// and tab order.

#include "support/windowtest.h"
#include "ui/frameshape.h"
#include "ui/layout.h"

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
#include <cmath>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using layout::Kind;

// Positions and sizes are in twips, 15 to the pixel, each to the nearest pixel.
int pixels(int twips) {
    return int(std::lround(twips / 15.0));
}

QRect pixelRect(const layout::Control& row) {
    return QRect(pixels(row.place.left), pixels(row.place.top), pixels(row.place.width),
                 pixels(row.place.height));
}

QColor qColor(layout::Colour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

const layout::Control& row(std::string_view name) {
    const auto* found = std::find_if(std::begin(layout::kControls), std::end(layout::kControls),
                                     [&](const layout::Control& c) { return c.name == name; });
    if (found == std::end(layout::kControls)) {
        ADD_FAILURE() << "no control " << name << " in the table";
        return layout::kControls[0];
    }
    return *found;
}

// What each kind of control is made of.
const char* className(Kind kind) {
    switch (kind) {
    case Kind::frame:
        return "FrameShape";
    case Kind::picture:
    case Kind::label:
        return "QLabel";
    case Kind::textBox:
        return "QLineEdit";
    case Kind::textArea:
        return "QPlainTextEdit";
    case Kind::button:
        return "QPushButton";
    }
    return "";
}

// The palette roles that show a control's text colour and the colour behind it.
std::pair<QPalette::ColorRole, QPalette::ColorRole> colourRoles(Kind kind) {
    switch (kind) {
    case Kind::textBox:
    case Kind::textArea:
        return {QPalette::Text, QPalette::Base};
    case Kind::button:
        return {QPalette::ButtonText, QPalette::Button};
    case Kind::frame:
    case Kind::picture:
    case Kind::label:
        break;
    }
    return {QPalette::WindowText, QPalette::Window};
}

// The names of the controls with a tab stop, in tab order.
QStringList tabOrder() {
    std::vector<const layout::Control*> stops;
    for (const layout::Control& c : layout::kControls) {
        if (c.tabIndex != layout::kNoTabStop) {
            stops.push_back(&c);
        }
    }
    std::sort(stops.begin(), stops.end(),
              [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
    QStringList names;
    for (const layout::Control* c : stops) {
        names << QLatin1String(c->name);
    }
    return names;
}

// The uppermost control that lies over window point `p`, the frame aside; none
// when the background shows there.
const layout::Control* controlAt(QPoint p) {
    const layout::Control* upper = nullptr;
    for (const layout::Control& c : layout::kControls) {
        if (c.kind != Kind::frame && pixelRect(c).contains(p)) {
            upper = &c;
        }
    }
    return upper;
}

// Whether window point `p` lies on the line of a frame.
bool onFrameLine(QPoint p) {
    for (const layout::Control& c : layout::kControls) {
        const QRect frame = pixelRect(c);
        if (c.kind == Kind::frame && frame.contains(p) &&
            !frame.adjusted(1, 1, -1, -1).contains(p)) {
            return true;
        }
    }
    return false;
}

bool isFrameCorner(QPoint p) {
    for (const layout::Control& c : layout::kControls) {
        const QRect frame = pixelRect(c);
        if (c.kind == Kind::frame && (p == frame.topLeft() || p == frame.topRight() ||
                                      p == frame.bottomLeft() || p == frame.bottomRight())) {
            return true;
        }
    }
    return false;
}

// What the named fonts become on this system.
const std::map<std::u16string_view, QString> kInstalledFamily = {
    {u"Times New Roman", "Liberation Serif"},
    {u"Arial", "Liberation Sans"},
    {u"MS Sans Serif", "Liberation Sans"},
    {u"Comic Sans MS", "Comic Neue"},
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

using LayoutTest = WindowTest;

TEST_F(LayoutTest, WindowIsAFixedToolWindowOfTheLaidOutSize) {
    open();
    EXPECT_EQ(window->objectName(), "frmChiamoro");
    EXPECT_EQ(qobject_cast<QDialog*>(window.get()), nullptr);
    // Client area 6255 x 3990 twips, and the user cannot resize it.
    const QSize laidOut(pixels(layout::kClientWidth), pixels(layout::kClientHeight));
    EXPECT_EQ(window->size(), laidOut);
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
    EXPECT_EQ(render(window.get()).size(), laidOut * ratio);
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
              qsizetype(std::size(layout::kControls)));
    for (const layout::Control& c : layout::kControls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(window->findChildren<QWidget*>(c.name, Qt::FindDirectChildrenOnly).size(), 1);
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), window.get());
        EXPECT_TRUE(widget->inherits(className(c.kind))) << widget->metaObject()->className();
        EXPECT_EQ(widget->geometry(), pixelRect(c));
        EXPECT_TRUE(widget->isVisibleTo(window.get()));
    }
    // The picture at its natural size.
    EXPECT_EQ(control<QLabel>("Image1")->pixmap().size(), QSize(100, 200));
}

TEST_F(LayoutTest, CaptionsAndFontsFollowTheTable) {
    open();
    for (const layout::Control& c : layout::kControls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        // Text1 holds the information text (below); the contact boxes are
        // empty on a new phone book.
        if (c.kind != Kind::frame && std::string_view(c.name) != "Text1") {
            EXPECT_EQ(captionOf(widget), QString::fromUtf16(c.caption));
        }
        const QFont font = widget->font();
        EXPECT_EQ(font.family(), QString::fromUtf16(c.font.family));
        EXPECT_DOUBLE_EQ(font.pointSizeF(), c.font.points);
        EXPECT_EQ(font.weight(), c.font.bold ? QFont::Bold : QFont::Normal);
        EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut());
        // The font actually used: the installed stand-in, not a poor fallback.
        EXPECT_EQ(QFontInfo(font).family(), kInstalledFamily.at(c.font.family));
        EXPECT_EQ(QFontInfo(font).bold(), c.font.bold);
    }
    // Alt+E is the quit button's access key.
    EXPECT_EQ(control<QPushButton>("cmdEsci")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_E));
}

TEST_F(LayoutTest, TooltipsAreExact) {
    open();
    for (const layout::Control& c : layout::kControls) {
        EXPECT_EQ(control(c.name)->toolTip(), QString::fromUtf16(c.tooltip)) << c.name;
    }
}

TEST_F(LayoutTest, ContactBoxesAreNamedByTheirCaptions) {
    open();
    const std::pair<const char*, const char*> captions[] = {
        {"txtNome", "lblChiamoro"}, {"txtChiamoro", "lblNome"}, {"txtCommenti", "lblCommenti"}};
    for (const auto& [box, label] : captions) {
        EXPECT_EQ(control(box)->accessibleName(), QString::fromUtf16(row(label).caption)) << box;
    }
}

TEST_F(LayoutTest, ColoursOfTheWindowTheCaptionsAndTheBoxes) {
    open();
    for (const layout::Control& c : layout::kControls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        if (c.kind == Kind::frame) {
            ASSERT_TRUE(c.foreColour.has_value());
            EXPECT_EQ(qobject_cast<FrameShape*>(widget)->lineColor(), qColor(*c.foreColour));
            continue;
        }
        // A colour the table leaves out is the system's.
        const auto [foreRole, backRole] = colourRoles(c.kind);
        EXPECT_EQ(widget->palette().color(foreRole),
                  c.foreColour ? qColor(*c.foreColour) : QApplication::palette().color(foreRole));
        EXPECT_EQ(widget->palette().color(backRole),
                  c.backColour ? qColor(*c.backColour) : QApplication::palette().color(backRole));
        if (backRole == QPalette::Window) {
            EXPECT_EQ(widget->autoFillBackground(), c.backColour.has_value());
        }
    }

    // Where no control lies, the background shows, and the frame's line on
    // its four edges. (At a pixel ratio of 2 the line's bevelled joins leave
    // a corner's outermost device pixel unpainted: the corners are left out.)
    const QImage shot = render(window.get());
    const QColor background = qColor(layout::kBackColour);
    const QColor line = qColor(*row("Shape1").foreColour);
    int backgroundSeen = 0;
    int lineSeen = 0;
    int wrong = 0;
    for (int y = 0; y < window->height(); ++y) {
        for (int x = 0; x < window->width(); ++x) {
            const QPoint p(x, y);
            if (controlAt(p) != nullptr || isFrameCorner(p)) {
                continue;
            }
            const bool onLine = onFrameLine(p);
            (onLine ? lineSeen : backgroundSeen) += 1;
            if (pixelAt(shot, p) != (onLine ? line : background) && ++wrong <= 5) {
                ADD_FAILURE() << (onLine ? "frame line" : "background") << " at " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(backgroundSeen, 10000);
    EXPECT_GT(lineSeen, 500);

    // The captions are drawn in light yellow on the orange background.
    int yellow = 0;
    const QRect caption = control("lblChiamoro")->geometry().adjusted(0, 1, 0, 0);
    for (int y = caption.top(); y <= caption.bottom(); ++y) {
        for (int x = caption.left(); x <= caption.right(); ++x) {
            yellow += pixelAt(shot, {x, y}) == qColor(*row("lblChiamoro").foreColour);
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
                EXPECT_EQ(shown, qColor(layout::kBackColour)) << x << "," << y;
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
    const auto level = [&](const layout::Control& c) { return order.indexOf(control(c.name)); };
    // The window stacks its controls as the table lists them, and the table
    // keeps the boxes and buttons over the labels, over the picture, over
    // the frame.
    const auto rank = [](Kind kind) {
        switch (kind) {
        case Kind::frame:
            return 0;
        case Kind::picture:
            return 1;
        case Kind::label:
            return 2;
        case Kind::textBox:
        case Kind::textArea:
        case Kind::button:
            break;
        }
        return 3;
    };
    for (const layout::Control& lower : layout::kControls) {
        for (const layout::Control& upper : layout::kControls) {
            if (&lower < &upper) {
                EXPECT_LT(level(lower), level(upper)) << upper.name << " over " << lower.name;
            }
            if (rank(lower.kind) < rank(upper.kind)) {
                EXPECT_LT(&lower, &upper) << upper.name << " over " << lower.name;
            }
        }
    }

    // Where controls overlap (the upper buttons, the captions and boxes over
    // the picture), the pointer finds the upper one.
    int overlaps = 0;
    for (const layout::Control& a : layout::kControls) {
        for (const layout::Control& b : layout::kControls) {
            const QRect both = pixelRect(a).intersected(pixelRect(b));
            if (&a >= &b || a.kind == Kind::frame || both.isEmpty() ||
                !window->rect().contains(both.center())) {
                continue;
            }
            ++overlaps;
            QWidget* upper = control(controlAt(both.center())->name);
            QWidget* found = window->childAt(both.center());
            EXPECT_TRUE(found == upper || upper->isAncestorOf(found))
                << a.name << " and " << b.name << ": " << qPrintable(upper->objectName())
                << " expected";
        }
    }
    EXPECT_GE(overlaps, 5);

    // The frame takes no input: the background shows where it runs.
    int onLine = 0;
    for (int y = 0; y < window->height(); ++y) {
        for (int x = 0; x < window->width(); ++x) {
            const QPoint p(x, y);
            if (onFrameLine(p) && controlAt(p) == nullptr) {
                ++onLine;
                if (window->childAt(p) != nullptr) {
                    ADD_FAILURE() << "a control at " << x << "," << y;
                    break;
                }
            }
        }
    }
    EXPECT_GT(onLine, 500);
}

TEST_F(LayoutTest, TabCyclesThroughTheControlsInOrderBothWays) {
    open();
    const QStringList cycle = tabOrder() << tabOrder().front();
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

    for (const layout::Control& c : layout::kControls) {
        if (c.tabIndex == layout::kNoTabStop) {
            EXPECT_EQ(control(c.name)->focusPolicy(), Qt::NoFocus) << c.name;
        }
    }
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    }
}

TEST_F(LayoutTest, HiddenInfoBoxIsReachedByTabAndEditable) {
    open();
    auto* info = control<QPlainTextEdit>("Text1");
    const QStringList order = tabOrder();
    ASSERT_GT(order.indexOf("Text1"), 0);
    QWidget* before = control(qPrintable(order[order.indexOf("Text1") - 1]));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
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
