#pragma once

#include "platform/AlertSheet.h"
#include "platform/Geometry.h"

#include <functional>
#include <string>

namespace quorvane {

class Window {
public:
    virtual ~Window() = default;
    virtual std::string title() const = 0;
    // The frame is saved under this name and restored from it in later runs.
    virtual void setFrameAutosaveName(const std::string& name) = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame, bool display) = 0;
    // Opens the sheet on this window and returns at once.
    virtual void beginAlertSheet(AlertSheet sheet) = 0;
    // Asked whenever the user closes the window: it stays open when the answer is no. None: it closes.
    virtual void setShouldClose(std::function<bool()> shouldClose) = 0;
    // Closes the window as the user would, asking shouldClose first.
    virtual void performClose() = 0;
};

} // namespace quorvane
