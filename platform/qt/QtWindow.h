#pragma once

#include "platform/Window.h"

#include <QMargins>
#include <QObject>
#include <QRect>

class QWidget;

namespace quorvane {

class Preferences;

// A top-level widget as the window the logic talks to.
//
// Frames follow the logic's convention: screen points with the origin at the lower-left corner of the
// primary screen and y growing upward; they measure the window's contents, without the decorations the
// window manager adds. The window is kept, decorations included, on one screen's available area, and
// never larger than it: also when the window manager frames it after it was shown.
//
// With a frame autosave name the window takes the frame saved under that name in the preferences (key
// "NSWindow Frame <name>") and saves its frame there whenever it is moved, resized or closed, unless the
// whole frame does not fit on the screen.
class QtWindow : public QObject, public Window {
public:
    QtWindow(QWidget& window, Preferences& preferences);

    std::string title() const override;
    void setFrameAutosaveName(const std::string& name) override;
    void makeKeyAndOrderFront() override;
    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    // A window-modal message box with the title and message as plain text. didDismiss runs once the box
    // has closed.
    void beginAlertSheet(AlertSheet sheet) override;
    void setShouldClose(std::function<bool()> shouldClose) override { _shouldClose = std::move(shouldClose); }
    void performClose() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string frameKey() const;
    // Saves the frame unless it does not fit on its screen.
    void saveFrame();
    // What the window manager's frame adds around the contents; none before the window is framed.
    QMargins decorations() const;
    QRect availableArea(const QRect& geometry) const;
    // The contents' geometry moved, and shrunk where it must be, so that the whole frame is on the screen.
    QRect keptOnScreen(const QRect& geometry) const;
    // Fits the shown window again now that its decorations may be known.
    void keepFrameOnScreen();

    QWidget& _window;
    Preferences& _preferences;
    std::string _frameAutosaveName;
    bool _keepingOnScreen = false;
    // The decorations the frame was last fitted with.
    QMargins _knownDecorations;
    std::function<bool()> _shouldClose;
};

} // namespace quorvane
