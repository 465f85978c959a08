#pragma once

#include "platform/Sheet.h"

#include <string>

namespace quorvane {

// What the window shows of an update: its progress, its Cancel button and its sheets.
class UpdateView {
public:
    virtual ~UpdateView() = default;

    // The run's activity ("Installing:"), the item it concerns, and the bar at value of maximum (both as
    // the run counts them, unclamped). Drawn at once, though the event loop may be busy.
    virtual void showProgress(const std::string& activity, const std::string& item, double value,
                              double maximum) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // Opens the sheet on the window and returns at once.
    virtual void openSheet(Sheet sheet) = 0;
    // Closes the newest open sheet as Escape would: its answer is Cancel, or OK where it has no Cancel.
    virtual void closeSheet() = 0;
    // Closes the window as the user would; whether it may close is asked again.
    virtual void closeWindow() = 0;
};

} // namespace quorvane
