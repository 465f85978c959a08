#pragma once

#include "platform/HistoryView.h"
#include "platform/qt/QtWindow.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace quorvane {

class Preferences;

// File ▸ Update History…: a window-modal dialog over the main window that lists one installation's
// updates, newest first, with Undo This Update, Restore to Before All Updates and Remove Old Backups…
// acting on the selected row. Its sheets open on it.
class HistoryWindow : public QDialog, public HistoryView {
public:
    HistoryWindow(QWidget& parent, Preferences& preferences);

    void showHistory(const std::string& installation, QAbstractItemModel& updates,
                     HistoryActions& actions) override;
    void openSheet(Sheet sheet) override;

    QTableView& table() { return *_table; }
    QPushButton& button(HistoryAction action);
    // Greys out the buttons whose action would be refused now.
    void refresh();

private:
    int selectedRow() const;
    void take(HistoryAction action);

    QtWindow _window;
    HistoryActions* _actions = nullptr;
    QLabel* _installation;
    QTableView* _table;
    QPushButton* _buttons[3];
};

} // namespace quorvane
