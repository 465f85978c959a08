#pragma once

#include "platform/Geometry.h"
#include "platform/Sheet.h"

#include <QMargins>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace quorvane {

class Preferences;

// A top-level widget as the window the logic talks to: its frame, its sheets, and whether it may close.
//
// Frames follow the logic's convention: screen points with the origin at the lower-left corner of the
// primary screen and y growing upward; they measure the window's contents, without the decorations the
// window manager adds. The window is kept, decorations included, on one screen's available area, and
// never larger than it: also when the window manager frames it after it was shown.
//
// With a frame name the window takes the frame saved under that name in the preferences (key
// "NSWindow Frame <name>") and saves its frame there whenever it is moved, resized or closed, unless the
// whole frame does not fit on the screen.
class QtWindow : public QObject {
public:
    QtWindow(QWidget& window, Preferences& preferences);

    std::string title() const;
    // Restores the frame saved under the name and keeps saving it there from now on.
    void keepFrameUnder(const std::string& name);
    // Shows the window in front, with the keyboard.
    void show();
    Rect frame() const;
    void setFrame(const Rect& frame);
    // A window-modal message box with the title and message as plain text: its OK button is the default,
    // Escape answers as its Cancel button (or OK where it has none), never as the further action. The
    // answer comes once the box has closed.
    void openSheet(Sheet sheet);
    // Closes the newest sheet still open as Escape would.
    void closeSheet();
    // Asked whenever the user closes the window: it stays open when the answer is no. None: it closes.
    void setShouldClose(std::function<bool()> shouldClose) { _shouldClose = std::move(shouldClose); }
    // Closes the window as the user would, asking first.
    void close();

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
    std::string _frameName;
    bool _keepingOnScreen = false;
    // The decorations the frame was last fitted with.
    QMargins _knownDecorations;
    std::function<bool()> _shouldClose;
    // The open sheets, oldest first; one closed since is null.
    std::vector<QPointer<QMessageBox>> _sheets;
};

} // namespace quorvane
