#pragma once

#include "support/fakes.h"
#include "support/records.h"
#include "support/tempdir.h"
#include "ui/frmchiamoro.h"

#include <QColor>
#include <QPoint>
#include <QSignalSpy>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

// A window on a phone book in a fresh temporary folder, its dialogs answered
// from a script, shown and active.
class WindowTest : public InTempDir {
protected:
    void TearDown() override;

    // Creates, loads and shows the window.
    void open();
    // The same on a data file holding `data`.
    void open(const std::string& data);

    template <typename Control = QWidget> Control* control(const char* name) const {
        auto* found = window->findChild<Control*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Clicks a button with the mouse, as the user does.
    void click(const char* name) const;

    // Moves the pointer to `pos` (window coordinates), as a user would.
    void movePointer(QPoint pos);
    void movePointerOver(const char* name);

    ScriptedDialogs dialogs;
    std::unique_ptr<frmChiamoro> window;
    std::unique_ptr<QSignalSpy> finished;
};

// The colour of the device pixel at the top left of logical pixel `pos` of a
// rendering of `widget`, at the widget's device pixel ratio.
QColor pixelAt(const QImage& rendering, QPoint pos);
QImage render(QWidget* widget);

// Calls `handler` with the next modal dialog once it is open. The handler
// must close it. Fails the test if none opens within a few seconds.
void answerNextDialog(std::function<void(QWidget*)> handler);
