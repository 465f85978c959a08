#include "platform/qt/WindowMenus.h"

#include "platform/UriList.h"
#include "platform/qt/HelpWindow.h"
#include "platform/qt/QtTableView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>

namespace quorvane {
namespace {

QString translated(const char* text) {
    return QCoreApplication::translate("WindowMenus", text);
}

std::string bytes(const QByteArray& data) {
    return {data.constData(), static_cast<std::size_t>(data.size())};
}

// The local paths of the URLs a file dialog chose, byte for byte: the URLs are read in their encoded form,
// which keeps a name that is not UTF-8 as it is on disk.
std::vector<std::string> localPaths(const QList<QUrl>& urls) {
    std::string uriList;
    for (const QUrl& url : urls) {
        uriList += bytes(url.toEncoded()) + "\r\n";
    }
    return urilist::localPathsFromUriList(uriList);
}

} // namespace

WindowMenus::WindowMenus(QWidget& window, QtTableView& table)
    : QObject(&window), _window(window), _table(table), _menuBar(new QMenuBar(&window)),
      _contextMenu(new QMenu(&table)) {
    QMenu& file = *_menuBar->addMenu(translated("&File"));
    _installFiles = addAction(file, "&Install Add-on Files…", QKeySequence(Qt::CTRL | Qt::Key_O),
                              &WindowMenus::installFiles);
    _installFolder = addAction(file, "Install Add-on &Folder…",
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &WindowMenus::installFolder);
    file.addSeparator();
    _addInstallation =
        addAction(file, "&Add Installation…", QKeySequence(Qt::Key_Insert), &WindowMenus::addInstallation);
    _removeFromList =
        addAction(file, "&Remove from List", QKeySequence(Qt::Key_Delete), &WindowMenus::removeFromList);
    _showInFileManager =
        addAction(file, "&Show in File Manager", QKeySequence(), &WindowMenus::showInFileManager);
    _undoLastUpdate = addAction(file, "&Undo Last Update…", QKeySequence(Qt::CTRL | Qt::Key_Z),
                                &WindowMenus::undoLastUpdate);
    _showHistory =
        addAction(file, "Update &History…", QKeySequence(Qt::CTRL | Qt::Key_H), &WindowMenus::showHistory);
    file.addSeparator();
    addAction(file, "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q), &WindowMenus::quit);
    QMenu& edit = *_menuBar->addMenu(translated("&Edit"));
    _paste = addAction(edit, "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &WindowMenus::paste);
    QMenu& view = *_menuBar->addMenu(translated("&View"));
    addAction(view, "&Refresh", QKeySequence(Qt::Key_F5), &WindowMenus::refreshInstallations);
    QMenu& help = *_menuBar->addMenu(translated("&Help"));
    addAction(help, "Quorvane Updater &Help", QKeySequence(Qt::Key_F1), &WindowMenus::help);
    help.addSeparator();
    addAction(help, "&About", QKeySequence(), &WindowMenus::about);
    if (QLayout* layout = window.layout()) {
        layout->setMenuBar(_menuBar);
    }

    _contextMenu->addActions({_installFiles, _installFolder, _paste});
    _contextMenu->addSeparator();
    _contextMenu->addActions({_showInFileManager, _undoLastUpdate, _showHistory, _removeFromList});
    for (QMenu* menu : {&file, &edit, _contextMenu}) {
        connect(menu, &QMenu::aboutToShow, this, &WindowMenus::refresh);
    }

    // The rows' context menu: a right-click, the Menu key and Shift+F10.
    _table.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&_table, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { popUpContextMenu(position, false); });
    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &_table, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
    connect(shiftF10, &QShortcut::activated, this, [this] { popUpContextMenu(QPoint(), true); });
    // F10 opens the menu bar's first menu, from where the arrow keys go through all of them.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &_window);
    connect(f10, &QShortcut::activated, this,
            [this] { _menuBar->setActiveAction(_menuBar->actions().value(0)); });
    // Return or a double-click on a row: the waiting items go into it, or else the files the user picks.
    connect(&_table, &QAbstractItemView::doubleClicked, this, &WindowMenus::activateRow);
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut =
            new QShortcut(QKeySequence(key), &_table, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &WindowMenus::activateRow);
    }
    // A shortcut finds its action as it was last refreshed: the state is looked at again before any is taken.
    QCoreApplication::instance()->installEventFilter(this);
    refresh();
}

WindowMenus::~WindowMenus() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
}

void WindowMenus::setTarget(UserActions* target) {
    _target = target;
    if (_table.selectionModel()) {
        connect(_table.selectionModel(), &QItemSelectionModel::selectionChanged, this, &WindowMenus::refresh,
                Qt::UniqueConnection);
    }
    refresh();
}

QAction* WindowMenus::addAction(QMenu& menu, const char* text, const QKeySequence& shortcut,
                                void (WindowMenus::*slot)()) {
    QAction* action = menu.addAction(translated(text));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, slot);
    _window.addAction(action); // its shortcut works wherever the focus is in the window
    return action;
}

void WindowMenus::refresh() {
    const auto enabled = [this](UserAction action) {
        return _target != nullptr && _target->actionEnabled(action);
    };
    _installFiles->setEnabled(enabled(UserAction::installItems));
    _installFolder->setEnabled(enabled(UserAction::installItems));
    _paste->setEnabled(enabled(UserAction::installItems));
    _addInstallation->setEnabled(enabled(UserAction::addInstallation));
    _removeFromList->setEnabled(enabled(UserAction::removeFromList));
    _showInFileManager->setEnabled(enabled(UserAction::showInFileManager));
    _undoLastUpdate->setEnabled(enabled(UserAction::undoLastUpdate));
    _showHistory->setEnabled(enabled(UserAction::showHistory));
}

bool WindowMenus::eventFilter(QObject* watched, QEvent* event) {
    // Sent to whatever has the focus, a sheet just closed included, before the shortcut is looked up.
    if (event->type() == QEvent::ShortcutOverride && _window.isActiveWindow()) {
        refresh();
    }
    // The user comes back to the window, maybe after plugging in a drive.
    if (event->type() == QEvent::WindowActivate && watched == &_window) {
        refreshInstallations();
    }
    return false;
}

void WindowMenus::refreshInstallations() {
    if (_target) {
        _target->judgeInstallationsAgain();
    }
    refresh();
}

void WindowMenus::installFiles() {
    const QList<QUrl> urls =
        QFileDialog::getOpenFileUrls(&_window, translated("Install Add-on Files"), QUrl(),
                                     translated("Add-on files (*);;Zip archives (*.zip)"));
    if (_target && !urls.isEmpty()) {
        _target->installItems(localPaths(urls));
    }
}

void WindowMenus::installFolder() {
    const QUrl url = QFileDialog::getExistingDirectoryUrl(&_window, translated("Install Add-on Folder"));
    if (_target && !url.isEmpty()) {
        _target->installItems(localPaths({url}));
    }
}

void WindowMenus::addInstallation() {
    const QUrl url = QFileDialog::getExistingDirectoryUrl(&_window, translated("Add Installation"));
    const std::vector<std::string> paths = localPaths({url});
    if (_target && !paths.empty()) {
        _target->addInstallation(paths.front());
    }
}

void WindowMenus::removeFromList() {
    if (_target) {
        _target->removeSelectedInstallation();
    }
}

void WindowMenus::showInFileManager() {
    if (_target) {
        _target->showSelectedInFileManager();
    }
}

void WindowMenus::undoLastUpdate() {
    if (_target) {
        _target->undoLastUpdate();
    }
}

void WindowMenus::showHistory() {
    if (_target) {
        _target->showUpdateHistory();
    }
}

void WindowMenus::quit() {
    _window.close();
}

std::vector<std::string> WindowMenus::pathsInMimeData(const QMimeData& data) {
    return urilist::localPathsFromClipboard([&](const char* format) { return bytes(data.data(format)); });
}

void WindowMenus::paste() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const std::vector<std::string> paths = data ? pathsInMimeData(*data) : std::vector<std::string>();
    if (_target && !paths.empty()) {
        _target->installItems(paths);
    } else if (_target) {
        auto* box = new QMessageBox(QMessageBox::Information, _window.windowTitle(),
                                    translated("The clipboard holds no files to install."), QMessageBox::Ok,
                                    &_window);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void WindowMenus::help() {
    if (_helpWindow == nullptr) {
        _helpWindow = new HelpWindow(&_window);
    }
    _helpWindow->show();
    _helpWindow->raise();
    _helpWindow->activateWindow();
}

void WindowMenus::about() {
    QMessageBox::about(&_window, translated("About"),
                       translated("Quorvane Updater\nVersion %1\n\nInstalls add-on files into Quorvane.")
                           .arg(QCoreApplication::applicationVersion()));
}

void WindowMenus::activateRow() {
    refresh();
    if (_target && !_target->activateSelectedRow() && _installFiles->isEnabled()) {
        installFiles();
    }
}

void WindowMenus::popUpContextMenu(const QPoint& viewportPosition, bool atCurrentRow) {
    QPoint position = viewportPosition;
    const QModelIndex under = _table.indexAt(position);
    if (!atCurrentRow && under.isValid()) {
        _table.chooseRow(under.row()); // a right-click acts on the row under the pointer
    } else {
        // From the keyboard: at the selected row.
        const int row = _table.selectedRow();
        position = row >= 0 ? _table.visualRect(_table.model()->index(row, 1)).center() : QPoint(4, 4);
    }
    refresh();
    _contextMenu->popup(_table.viewport()->mapToGlobal(position));
}

} // namespace quorvane
