#pragma once

#include "platform/WindowView.h"
#include "platform/qt/ProgressBarScale.h"
#include "platform/qt/QtWindow.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}

class QAbstractItemModel;

namespace quorvane {

class DropHandler;
class HistoryWindow;
class Preferences;
class QtTableView;
class WindowMenus;

// The program's window, built from its description (MainWindow.ui): the installation table, the line that
// says what waits for an installation, the activity and item labels, the progress bar, the Cancel button
// and the menus. It keeps its frame in the preferences under its title.
class MainWindow : public WindowView {
public:
    // The icons of the rows are read from the resource folder ("Zell.icns", "Zell_bad.icns").
    MainWindow(Preferences& preferences, const std::string& resourceFolder);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The rows, the drops onto them, and what Cancel and closing the window ask.
    void connect(QAbstractItemModel& rows, DropHandler& drops, std::function<void()> cancel,
                 std::function<bool()> mayClose);

    QWidget& widget() { return _widget; }
    QtTableView& table();
    WindowMenus& menus() { return *_menus; }

    void showProgress(const std::string& activity, const std::string& item, double value,
                      double maximum) override;
    void setCancelEnabled(bool enabled) override;
    void openSheet(Sheet sheet) override { _window.openSheet(std::move(sheet)); }
    void closeSheet() override { _window.closeSheet(); }
    void closeWindow() override { _window.close(); }
    int selectedRow() const override;
    void selectRow(int row) override;
    Rect frame() const override { return _window.frame(); }
    void setFrame(const Rect& frame) override { _window.setFrame(frame); }
    float tableHeight() const override;
    float rowHeight() const override;
    void setWaitingLine(const std::string& text) override;
    void show() override { _window.show(); }
    HistoryView* historyView() override;
    HistoryWindow& historyWindow() { return *_history; }

private:
    QWidget _widget;
    std::unique_ptr<Ui::MainWindow> _ui;
    QtWindow _window;
    ProgressBarScale _progress;
    WindowMenus* _menus;     // owned by the window's widget
    HistoryWindow* _history; // likewise
};

} // namespace quorvane
