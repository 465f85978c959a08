#pragma once

#include "platform/qt/QtButton.h"
#include "platform/qt/QtProgressIndicator.h"
#include "platform/qt/QtTextField.h"
#include "platform/qt/QtWindow.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace quorvane {

class QtTableView;
class Preferences;
class WindowMenus;

// The program's window, built from its description (MainWindow.ui), with its controls as the logic
// sees them: the installation table, the two text fields, the progress bar and the Cancel button, the
// menus and the line that says what waits for an installation.
class MainWindow {
public:
    // The window keeps its frame in these preferences once it has a frame autosave name.
    explicit MainWindow(Preferences& preferences);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    QWidget& widget() { return _widget; }
    QtWindow& window() { return _window; }
    QtTableView& appPathSelector();
    QtTextField& file() { return _file; }
    QtTextField& fileLabel() { return _fileLabel; }
    QtProgressIndicator& progress() { return _progress; }
    QtButton& cancelButton() { return _cancelButton; }
    // The line above the table that says what items wait for an installation; shown only with text.
    TextField& waitingLine() { return *_waitingLine; }
    // The menu bar and the rows' context menu.
    WindowMenus& menus() { return *_menus; }

private:
    QWidget _widget;
    std::unique_ptr<Ui::MainWindow> _ui;
    QtWindow _window;
    QtTextField _file;
    QtTextField _fileLabel;
    QtProgressIndicator _progress;
    QtButton _cancelButton;
    std::unique_ptr<TextField> _waitingLine;
    WindowMenus* _menus; // owned by the window's widget
};

} // namespace quorvane
