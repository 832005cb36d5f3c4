// What the window does: quitting and closing, the info panel's two heights,
// the buttons' pointers, keys that must do nothing, the output commands and
// the end of the program after a failure.

#include "support/windowtest.h"
#include "ui/layout.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

namespace {

const std::string kFiveRecords = record("111", "Anna", "prima") + record("222", "Bruno", "") +
                                 record("333", "Carla", "") + record("444", "Dario", "vecchio") +
                                 record("555", "Elena", "");

class BehaviourTest : public WindowTest {
protected:
    void openOnRecord4() {
        writeFile("Chiamoro.DAT", kFiveRecords);
        open();
        for (int i = 0; i < 3; ++i) {
            control<QPushButton>("cmdSuccessivo")->click();
        }
        ASSERT_EQ(window->windowTitle(), "Record  4/ 5");
    }

    // Replaces the number and the comments of the shown record.
    void edit() {
        auto* number = control<QLineEdit>("txtNome");
        number->selectAll();
        QTest::keyClicks(number, "06 5550");
        auto* comments = control<QPlainTextEdit>("txtCommenti");
        comments->selectAll();
        QTest::keyClicks(comments, "nuovo");
        QTest::keyClick(comments, Qt::Key_Return);
        QTest::keyClicks(comments, "indirizzo");
    }
};

TEST_F(BehaviourTest, AltESavesTheShownRecordAndEndsAtOnce) {
    openOnRecord4();
    edit();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);

    // An access key presses the button visibly: the click follows a moment later.
    ASSERT_TRUE(QTest::qWaitFor([this] { return finished->count() > 0; }));
    ASSERT_EQ(finished->count(), 1);
    EXPECT_EQ(finished->at(0).at(0).toInt(), 0);
    EXPECT_TRUE(window->ended());
    EXPECT_FALSE(window->isVisible());
    std::string expected = kFiveRecords;
    expected.replace(3 * 180, 180, record("06 5550", "Dario", "nuovo\r\nindirizzo"));
    EXPECT_EQ(readFile("Chiamoro.DAT"), expected);

    // Nothing of the window runs any more.
    control<QPushButton>("cmdNuovo")->click();
    control<QPushButton>("cmdEsci")->click();
    window->close();
    EXPECT_EQ(readFile("Chiamoro.DAT"), expected);
    EXPECT_EQ(finished->count(), 1);
}

TEST_F(BehaviourTest, AltEWorksFromEveryControl) {
    const QStringList focusable = {"txtNome",       "txtChiamoro", "txtCommenti", "cmdSuccessivo",
                                   "cmdPrecedente", "cmdNuovo",    "cmdEsci",     "cmdCancella",
                                   "cmdCerca",      "Text1",       "Command1",    "Command3",
                                   "Command2"};
    for (const QString& name : focusable) {
        SCOPED_TRACE(name.toStdString());
        open();
        QWidget* start = control(name.toLatin1().constData());
        start->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), start);
        QTest::keyClick(start, Qt::Key_E, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([this] { return finished->count() == 1; }));
        EXPECT_EQ(readFile("Chiamoro.DAT"), record("", "", ""));
        window.reset();
        std::filesystem::remove("Chiamoro.DAT");
    }
}

TEST_F(BehaviourTest, CloseBoxEndsWithoutSaving) {
    openOnRecord4();
    edit();
    window->close();
    ASSERT_EQ(finished->count(), 1);
    EXPECT_EQ(finished->at(0).at(0).toInt(), 0);
    EXPECT_EQ(readFile("Chiamoro.DAT"), kFiveRecords);
}

TEST_F(BehaviourTest, EnterAndEscInTheBoxesClickNothing) {
    openOnRecord4();
    std::map<QString, int> clicks;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        QObject::connect(button, &QPushButton::clicked,
                         [&clicks, button] { ++clicks[button->objectName()]; });
    }
    for (const char* name : {"txtNome", "txtChiamoro"}) {
        QWidget* box = control(name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        QTest::keyClick(box, Qt::Key_Escape);
    }
    EXPECT_TRUE(clicks.empty());
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(window->windowTitle(), "Record  4/ 5");
    EXPECT_EQ(finished->count(), 0);
    EXPECT_EQ(readFile("Chiamoro.DAT"), kFiveRecords);
}

class InfoPanelTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        open();
        topLeft = window->pos();
    }

    // The client height, after checking that only the height has changed.
    int height() const {
        EXPECT_EQ(window->pos(), topLeft);
        EXPECT_EQ(window->width(), layout::pixels(layout::kClientWidth));
        EXPECT_EQ(window->minimumSize(), window->maximumSize());
        return window->height();
    }

    QPoint topLeft;
};

constexpr int kCollapsed = layout::pixels(layout::kCollapsedHeight);
constexpr int kExpanded = layout::pixels(layout::kExpandedHeight);

TEST_F(InfoPanelTest, InfoExpandsAndTheThreeControlsCollapse) {
    EXPECT_EQ(height(), layout::pixels(layout::kClientHeight));
    for (const char* collapsing : {"cmdEsci", "Image1", "txtCommenti"}) {
        SCOPED_TRACE(collapsing);
        movePointerOver("Label1");
        EXPECT_EQ(height(), kExpanded);
        EXPECT_TRUE(control("Text1")->visibleRegion().boundingRect() == control("Text1")->rect());
        movePointerOver("Label1");
        EXPECT_EQ(height(), kExpanded);
        movePointerOver(collapsing);
        EXPECT_EQ(height(), kCollapsed);
        EXPECT_TRUE(control("Text1")->visibleRegion().isEmpty());
        movePointerOver(collapsing);
        EXPECT_EQ(height(), kCollapsed);
    }
}

TEST_F(InfoPanelTest, NothingElseChangesTheHeight) {
    movePointerOver("Label1");
    // Down onto the information text and the background around it.
    movePointerOver("Text1");
    movePointer({408, 300});
    movePointer({200, 386});
    // Other controls, including those that cover the picture.
    for (const char* other : {"cmdCerca", "Command1", "Command2", "Command3", "cmdNuovo", "txtNome",
                              "txtChiamoro", "lblChiamoro", "lblNome", "lblCommenti"}) {
        movePointerOver(other);
    }
    movePointer({80, 60}); // lblNome over the picture
    movePointer({80, 30}); // txtNome over the picture
    movePointer({250, 5}); // background
    EXPECT_EQ(height(), kExpanded);

    // Keys and clicks.
    auto* info = control<QPlainTextEdit>("Text1");
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      info->geometry().center());
    QTest::keyClicks(info, "abc");
    QTest::keyClick(info, Qt::Key_PageDown);
    EXPECT_EQ(height(), kExpanded);

    // The collapsed window stays collapsed the same way.
    movePointerOver("cmdEsci");
    for (const char* other : {"cmdCerca", "Command2", "lblNome", "txtNome"}) {
        movePointerOver(other);
    }
    movePointer({80, 60});
    EXPECT_EQ(height(), kCollapsed);
}

// Points of the picture that no control in front of it covers, from the
// layout: a grid over it, a pixel in from each control's edge.
std::vector<QPoint> uncoveredPicturePoints() {
    const auto rect = [](const layout::Place& place) {
        return QRect(layout::pixels(place.left), layout::pixels(place.top),
                     layout::pixels(place.width), layout::pixels(place.height));
    };
    const auto picture =
        std::find_if(std::begin(layout::kControls), std::end(layout::kControls),
                     [](const layout::Control& c) { return c.name == std::string("Image1"); });
    const QRect inside = rect(picture->place).adjusted(1, 1, -1, -1);
    std::vector<QPoint> points;
    for (int y = inside.top(); y <= inside.bottom(); y += 9) {
        for (int x = inside.left(); x <= inside.right(); x += 9) {
            const QPoint point(x, y);
            // Those made after the picture lie in front of it.
            const bool covered =
                std::any_of(picture + 1, std::end(layout::kControls),
                            [&point, &rect](const layout::Control& c) {
                                return rect(c.place).adjusted(-1, -1, 1, 1).contains(point);
                            });
            if (!covered) {
                points.push_back(point);
            }
        }
    }
    return points;
}

TEST_F(InfoPanelTest, TheWholePictureCollapsesWhereNothingCoversIt) {
    const std::vector<QPoint> uncovered = uncoveredPicturePoints();
    ASSERT_GT(uncovered.size(), 20u);
    for (const QPoint point : uncovered) {
        movePointerOver("Label1");
        ASSERT_EQ(height(), kExpanded);
        movePointer(point);
        EXPECT_EQ(height(), kCollapsed) << point.x() << "," << point.y();
    }
}

TEST_F(InfoPanelTest, TextKeepsItsContentAndScrollAcrossHeights) {
    auto* info = control<QPlainTextEdit>("Text1");
    movePointerOver("Label1");
    info->moveCursor(QTextCursor::End);
    QTest::keyClicks(info, "nota");
    info->verticalScrollBar()->setValue(info->verticalScrollBar()->maximum());
    const int scroll = info->verticalScrollBar()->value();
    movePointerOver("cmdEsci");
    movePointerOver("Label1");
    EXPECT_TRUE(info->toPlainText().endsWith("nota"));
    EXPECT_EQ(info->verticalScrollBar()->value(), scroll);
}

TEST_F(WindowTest, EachButtonHasItsPointer) {
    open();
    const std::map<std::string, QPoint> hotSpots = {
        {"Command3", {16, 16}},     {"cmdCerca", {12, 1}},     {"Command1", {16, 16}},
        {"cmdSuccessivo", {12, 0}}, {"cmdPrecedente", {0, 0}}, {"cmdNuovo", {5, 12}},
        {"cmdCancella", {10, 10}},  {"cmdEsci", {16, 16}},
    };
    for (const auto& [name, hotSpot] : hotSpots) {
        SCOPED_TRACE(name);
        const QCursor pointer = control(name.c_str())->cursor();
        EXPECT_EQ(pointer.shape(), Qt::BitmapCursor);
        EXPECT_EQ(pointer.pixmap().size(), QSize(32, 32));
        EXPECT_EQ(pointer.hotSpot(), hotSpot);
    }
    for (const char* standard : {"Command2", "Label1", "Image1"}) {
        EXPECT_FALSE(control(standard)->testAttribute(Qt::WA_SetCursor)) << standard;
        EXPECT_EQ(control(standard)->cursor().shape(), Qt::ArrowCursor) << standard;
    }
    EXPECT_EQ(control("txtNome")->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(BehaviourTest, CopyTakesTheBoxesAsTheyStandWithoutSaving) {
    openOnRecord4();
    edit();
    QGuiApplication::clipboard()->setText("prima");
    control<QPushButton>("Command2")->click();
    const QString rule(20, '-');
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              rule + "\r\nDario\r\n\r\n06 5550\r\n\r\nnuovo\r\nindirizzo\r\n" + rule + "\r\n ");
    EXPECT_EQ(readFile("Chiamoro.DAT"), kFiveRecords);
    EXPECT_EQ(window->windowTitle(), "Record  4/ 5");
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(BehaviourTest, PrintingWithoutAPrinterSaysSoAndGoesOn) {
    // main() points the print system at a server that is not there.
    ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull());
    openOnRecord4();
    edit();
    QWidget* focus = QApplication::focusWidget();
    control<QPushButton>("Command3")->click();
    EXPECT_TRUE(dialogs.showedOnlyThePrintFailure());
    EXPECT_EQ(QApplication::focusWidget(), focus);
    EXPECT_EQ(readFile("Chiamoro.DAT"), kFiveRecords);
    EXPECT_EQ(finished->count(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(BehaviourTest, AFileFailureIsReportedAndEndsTheProgram) {
    openOnRecord4();
    // A folder where the deletion's scratch file goes cannot be removed.
    std::filesystem::create_directories("Chiamoro.TMP/occupato");
    dialogs.answers.push_back(Risposta::Si);
    control<QPushButton>("cmdCancella")->click();

    ASSERT_EQ(finished->count(), 1);
    EXPECT_NE(finished->at(0).at(0).toInt(), 0);
    EXPECT_NE(window->exitStatus(), 0);
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].style, Stile::Critico);
    EXPECT_EQ(readFile("Chiamoro.DAT"), kFiveRecords);
}

TEST_F(WindowTest, ASecondCopyIsRefusedAndNeverShown) {
    open();
    ScriptedDialogs secondDialogs;
    frmChiamoro second(secondDialogs);
    QSignalSpy secondFinished(&second, &frmChiamoro::finished);
    second.formLoad();
    EXPECT_TRUE(second.ended());
    EXPECT_NE(second.exitStatus(), 0);
    EXPECT_FALSE(second.isVisible());
    ASSERT_EQ(secondDialogs.messages().size(), 1u);
    EXPECT_EQ(secondDialogs.messages()[0].style, Stile::Critico);
    EXPECT_EQ(secondFinished.count(), 1);
    EXPECT_FALSE(window->ended());
}

} // namespace

TEST_F(BehaviourTest, TheBusyPointerComesAndGoesWithTheLogic) {
    writeFile("Chiamoro.DAT", kFiveRecords);
    open();
    window->setBusy(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window->setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A search through the whole file leaves the normal pointer behind it.
    dialogs.inputs = {u"nessuno"};
    control<QPushButton>("Command1")->click();
    EXPECT_EQ(dialogs.messages().at(0).text, u"Nome NESSUNO non trovato!");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
