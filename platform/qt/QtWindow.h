#pragma once

#include "platform/Window.h"

#include <QObject>

class QWidget;

namespace quorvane {

class UserDefaults;

// A top-level widget as the window the logic talks to.
//
// Frames follow the logic's convention: screen points with the origin at the lower-left corner of the
// primary screen and y growing upward; they measure the window's contents, without the decorations the
// window manager adds. A frame given to the window is kept on one screen's available area, and never
// larger than it.
//
// With a frame autosave name the window takes the frame saved under that name in the preferences (key
// "NSWindow Frame <name>") and saves its frame there whenever it is moved, resized or closed.
class QtWindow : public QObject, public Window {
public:
    QtWindow(QWidget& window, UserDefaults& userDefaults);

    std::string title() const override;
    void setFrameAutosaveName(const std::string& name) override;
    void makeKeyAndOrderFront() override;
    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    // A window-modal message box with the title and message as plain text. didDismiss runs once the box
    // has closed.
    void beginAlertSheet(AlertSheet sheet) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string frameKey() const;
    void saveFrame();

    QWidget& _window;
    UserDefaults& _userDefaults;
    std::string _frameAutosaveName;
};

} // namespace quorvane
