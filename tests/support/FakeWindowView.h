#pragma once

#include "platform/WindowView.h"

#include <utility>
#include <vector>

namespace quorvane::test {

// Records what the logic asks of the window; sheets stay open until a test answers them.
struct FakeWindowView : WindowView {
    void showProgress(const std::string& activity, const std::string& item, double value,
                      double maximum) override {
        shown = activity + "|" + item, progress = {value, maximum};
    }
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    void openSheet(Sheet sheet) override { sheets.push_back(std::move(sheet)); }
    void closeSheet() override { answer(sheets.back().cancelButton ? SheetAnswer::cancel : SheetAnswer::ok); }
    void closeWindow() override { closed = !mayClose || mayClose(); }
    int selectedRow() const override { return selected; }
    void selectRow(int row) override { selected = row; }
    Rect frame() const override { return windowFrame; }
    void setFrame(const Rect& frame) override { windowFrame = frame; }
    float tableHeight() const override { return rowsHeight; }
    float rowHeight() const override { return oneRowHeight; }
    void setWaitingLine(const std::string& text) override { waitingLine = text; }
    void show() override {}

    // Answers the newest sheet, as a user pressing its button would.
    void answer(SheetAnswer answer) {
        Sheet sheet = std::move(sheets.back());
        sheets.pop_back();
        if (sheet.answered) {
            sheet.answered(answer);
        }
    }
    // The newest sheet's title and message, or "" when none is open.
    std::string sheet() const {
        return sheets.empty() ? "" : sheets.back().title + "|" + sheets.back().message;
    }

    std::string shown, waitingLine;
    std::pair<double, double> progress;
    bool cancelEnabled = false, closed = false;
    std::function<bool()> mayClose;
    std::vector<Sheet> sheets;
    int selected = -1;
    Rect windowFrame{100, 100, 500, 300};
    float rowsHeight = 100, oneRowHeight = 34;
};

} // namespace quorvane::test
