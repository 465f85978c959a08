#pragma once

#include "platform/Button.h"
#include "platform/ImageLoader.h"
#include "platform/ProgressIndicator.h"
#include "platform/TableView.h"
#include "platform/TextField.h"
#include "platform/Window.h"

#include <optional>
#include <utility>
#include <vector>

namespace quorvane::test {

// Records what the logic asks of the main window; sheets stay open until a test dismisses them.
struct FakeWindow : Window {
    std::string title() const override { return "Quorvane Updater"; }
    void setFrameAutosaveName(const std::string&) override {}
    void makeKeyAndOrderFront() override {}
    Rect frame() const override { return windowFrame; }
    void setFrame(const Rect& frame, bool) override { windowFrame = frame; }
    void beginAlertSheet(AlertSheet sheet) override { sheets.push_back(std::move(sheet)); }
    void setShouldClose(std::function<bool()> shouldClose) override { this->shouldClose = std::move(shouldClose); }
    void performClose() override { closed = !shouldClose || shouldClose(); }

    // Dismisses the newest sheet with the return code, as a user pressing a button would.
    void dismissSheet(int returnCode) {
        AlertSheet sheet = std::move(sheets.back());
        sheets.pop_back();
        if (sheet.didDismiss) {
            sheet.didDismiss(returnCode);
        }
    }

    bool closed = false;
    Rect windowFrame{100, 100, 500, 300};
    std::vector<AlertSheet> sheets;
    std::function<bool()> shouldClose;
};

// A table without columns that records its drop target and selection.
struct FakeTableView : TableView {
    Rect frame() const override { return tableFrame; }
    float rowHeight() const override { return tableRowHeight; }
    void registerForDraggedTypes(const std::vector<std::string>&) override {}
    TableColumn* tableColumnWithIdentifier(const std::string&) override { return nullptr; }
    void reloadData() override {}
    void setDropRow(int row, TableViewDropOperation operation) override { dropTarget = {row, operation}; }
    void selectRow(int row, bool byExtendingSelection) override {
        selectedRows.resize(byExtendingSelection ? selectedRows.size() : 0);
        selectedRows.push_back(row);
    }
    int selectedRow() const override { return selectedRows.empty() ? -1 : selectedRows.back(); }

    Rect tableFrame{0, 0, 480, 100};
    float tableRowHeight = 34;
    std::optional<std::pair<int, TableViewDropOperation>> dropTarget;
    std::vector<int> selectedRows;
};

struct FakeTextField : TextField {
    void setStringValue(const std::string& text) override { value = text; }
    std::string stringValue() const override { return value; }
    void displayIfNeeded() override { shown = value; }
    std::string value, shown; // shown: what the last redraw put on screen
};

struct FakeProgressIndicator : ProgressIndicator {
    void setMaxValue(double value) override { max = value; }
    void setDoubleValue(double value) override { this->value = value; }
    double maxValue() const override { return max; }
    double doubleValue() const override { return value; }
    void displayIfNeeded() override {}
    double max = 100, value = 0;
};

struct FakeButton : Button {
    void setEnabled(bool enabled) override { this->enabled = enabled; }
    bool isEnabled() const override { return enabled; }
    bool enabled = false;
};

// No file is an image.
struct FakeImageLoader : ImageLoader {
    ImagePtr imageWithContentsOfFile(const std::string&) override { return nullptr; }
};

} // namespace quorvane::test
