#pragma once

#include "platform/Geometry.h"
#include "platform/HistoryView.h"
#include "platform/UpdateView.h"

#include <string>

namespace quorvane {

// The program's window as its controller sees it: the update's display, the rows' selection, the room
// the rows have, and the line that says what waits for an installation.
class WindowView : public UpdateView {
public:
    // The selected row; -1 when none is.
    virtual int selectedRow() const = 0;
    // Selects the row and makes it current, so that the keys go on from it; a row that is not there is
    // left alone.
    virtual void selectRow(int row) = 0;
    // The window's frame (see Rect), and the height the rows have in it.
    virtual Rect frame() const = 0;
    // The window is kept on its screen.
    virtual void setFrame(const Rect& frame) = 0;
    virtual float tableHeight() const = 0;
    virtual float rowHeight() const = 0;
    // Shown only while it has text.
    virtual void setWaitingLine(const std::string& text) = 0;
    virtual void show() = 0;
    // The window that lists an installation's updates; none where there is no such window.
    virtual HistoryView* historyView() { return nullptr; }
};

} // namespace quorvane
