#pragma once

#include "platform/Window.h"

#include <vector>

namespace quorvane::test {

// Records what the logic asks of the main window; sheets stay open until a test dismisses them.
class FakeWindow : public Window {
public:
    std::string title() const override { return windowTitle; }
    void setFrameAutosaveName(const std::string& name) override { frameAutosaveName = name; }
    void makeKeyAndOrderFront() override { ++timesOrderedFront; }
    Rect frame() const override { return windowFrame; }
    void setFrame(const Rect& frame, bool display) override {
        windowFrame = frame;
        frameSetWithDisplay.push_back(display);
    }
    void beginAlertSheet(AlertSheet sheet) override { sheets.push_back(std::move(sheet)); }
    void setShouldClose(std::function<bool()> shouldClose) override { _shouldClose = std::move(shouldClose); }
    void performClose() override { closed = !_shouldClose || _shouldClose(); }
    bool closed = false;

    // Dismisses the newest sheet with the return code, as a user pressing a button would.
    void dismissSheet(int returnCode) {
        AlertSheet sheet = std::move(sheets.back());
        sheets.pop_back();
        dismissed.push_back(sheet);
        if (sheet.didDismiss) {
            sheet.didDismiss(returnCode);
        }
    }

    std::string windowTitle = "Quorvane Updater";
    std::string frameAutosaveName;
    int timesOrderedFront = 0;
    Rect windowFrame{100, 100, 500, 300};
    std::vector<bool> frameSetWithDisplay;
    std::vector<AlertSheet> sheets;
    std::vector<AlertSheet> dismissed;

private:
    std::function<bool()> _shouldClose;
};

} // namespace quorvane::test
