#pragma once

#include "platform/UserActions.h"

#include <QObject>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QMimeData;
class QWidget;

namespace quorvane {

class QtTableView;

// The window's menu bar (File, Edit, View, Help) and the same actions in a context menu on the rows, with
// their shortcuts and mnemonics. Each action goes to the target, which decides on the selected row; an action
// the target would refuse is greyed out, looked at again whenever a menu opens, the selection moves or a
// shortcut is pressed. File dialogs and the clipboard hand over paths as the file system's bytes.
class WindowMenus : public QObject {
public:
    WindowMenus(QWidget& window, QtTableView& table);
    ~WindowMenus() override;

    // None: every action is greyed out.
    void setTarget(UserActions* target);
    QMenuBar& menuBar() { return *_menuBar; }
    // The actions that act on the rows, as the context menu shows them.
    QMenu& contextMenu() { return *_contextMenu; }
    // Greys out what the target would refuse now.
    void refresh();

    // The local files named by the clipboard's data: a file manager's copied or cut files, a list of file
    // URLs, or paths copied as text.
    static std::vector<std::string> pathsInMimeData(const QMimeData& data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addAction(QMenu& menu, const char* text, const QKeySequence& shortcut,
                       void (WindowMenus::*slot)());
    void installFiles();
    void installFolder();
    void addInstallation();
    void removeFromList();
    void showInFileManager();
    void undoLastUpdate();
    void showHistory();
    void quit();
    void paste();
    void refreshInstallations();
    void help();
    void about();
    void activateRow();
    void popUpContextMenu(const QPoint& viewportPosition, bool atCurrentRow);

    QWidget& _window;
    QtTableView& _table;
    UserActions* _target = nullptr;
    QMenuBar* _menuBar;
    QMenu* _contextMenu;
    QAction* _installFiles = nullptr;
    QAction* _installFolder = nullptr;
    QAction* _addInstallation = nullptr;
    QAction* _removeFromList = nullptr;
    QAction* _showInFileManager = nullptr;
    QAction* _undoLastUpdate = nullptr;
    QAction* _showHistory = nullptr;
    QAction* _paste = nullptr;
    QWidget* _helpWindow = nullptr; // made when first asked for, owned by the window
};

} // namespace quorvane
