#include "platform/qt/MainWindow.h"

#include "platform/ResourceFolder.h"
#include "platform/qt/HistoryWindow.h"
#include "platform/qt/InstallationIconDelegate.h"
#include "platform/qt/InstallationTextDelegate.h"
#include "platform/qt/WindowMenus.h"
#include "ui_MainWindow.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QShortcut>

namespace quorvane {
namespace {

// The program's icon in the sizes the desktop shows a window's icon at, from the program's resources.
QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/io.github.quorvane.Updater.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

// A plain widget shown as a window is a frame to screen readers, named by its title; Qt would present it
// as an anonymous filler.
QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (className == QLatin1String("QWidget") && widget != nullptr && widget->isWindow()) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

std::unique_ptr<Ui::MainWindow> setUpUi(QWidget& widget) {
    QAccessible::installFactory(windowAccessible); // once: a factory already installed is not added again
    auto ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(&widget);
    widget.setWindowIcon(programIcon()); // its sheets and dialogs show it too
    // Lay out at once: the logic measures the table before the window is first shown.
    widget.layout()->activate();
    return ui;
}

QIcon resourceIcon(const ResourceFolder& resources, const char* name) {
    const auto path = resources.resourcePath(name, "icns");
    return path ? InstallationIconDelegate::load(*path) : QIcon();
}

// Shows the text literally. The label has no name of its own: a screen reader reads its text as its name,
// and hears of each change of it (as it hears of each move of the bar), so that it can say the status.
void showText(QLabel& label, const std::string& text) {
    label.setText(QString::fromStdString(text));
}

} // namespace

MainWindow::MainWindow(Preferences& preferences, const std::string& resourceFolder)
    : _ui(setUpUi(_widget)), _window(_widget, preferences), _progress(*_ui->progressBar),
      _menus(new WindowMenus(_widget, *_ui->installationTable)),
      _history(new HistoryWindow(_widget, preferences)) {
    const ResourceFolder resources(resourceFolder);
    QtTableView& rows = *_ui->installationTable;
    rows.setItemDelegate(new InstallationTextDelegate(&rows));
    rows.setItemDelegateForColumn(0,
                                  new InstallationIconDelegate(resourceIcon(resources, "Zell"),
                                                               resourceIcon(resources, "Zell_bad"), &rows));
    _window.keepFrameUnder(_window.title());
}

MainWindow::~MainWindow() = default;

HistoryView* MainWindow::historyView() {
    return _history;
}

QtTableView& MainWindow::table() {
    return *_ui->installationTable;
}

void MainWindow::connect(QAbstractItemModel& rows, DropHandler& drops, std::function<void()> cancel,
                         std::function<bool()> mayClose) {
    table().setModel(&rows);
    table().setDropHandler(&drops);
    QObject::connect(_ui->cancelButton, &QPushButton::clicked, _ui->cancelButton, std::move(cancel));
    // Escape anywhere in the window cancels the update under way; a sheet takes its own Escape.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &_widget);
    QObject::connect(escape, &QShortcut::activated, _ui->cancelButton, [button = _ui->cancelButton] {
        if (button->isEnabled()) {
            button->click();
        }
    });
    _window.setShouldClose(std::move(mayClose));
}

void MainWindow::showProgress(const std::string& activity, const std::string& item, double value,
                              double maximum) {
    showText(*_ui->activityLabel, activity);
    showText(*_ui->itemLabel, item);
    _progress.show(value, maximum);
    // The window's pending changes are drawn now in one pass, as the event loop would draw them at its next
    // turn: the run reports at most about 60 times a second.
    QCoreApplication::sendPostedEvents(&_widget, QEvent::UpdateRequest);
}

void MainWindow::setCancelEnabled(bool enabled) {
    const bool hadFocus = _ui->cancelButton->hasFocus();
    _ui->cancelButton->setEnabled(enabled);
    if (hadFocus && !enabled) {
        table().setFocus(); // the keyboard goes back to the rows, not nowhere
    }
}

int MainWindow::selectedRow() const {
    return _ui->installationTable->selectedRow();
}

void MainWindow::selectRow(int row) {
    _ui->installationTable->chooseRow(row);
}

float MainWindow::tableHeight() const {
    // Measured from the table's own size, which is current even before the window is first shown.
    return static_cast<float>(_ui->installationTable->maximumViewportSize().height());
}

float MainWindow::rowHeight() const {
    return static_cast<float>(_ui->installationTable->verticalHeader()->defaultSectionSize());
}

void MainWindow::setWaitingLine(const std::string& text) {
    showText(*_ui->waitingLine, text);
    _ui->waitingLine->setVisible(!text.empty()); // it takes no room while it has nothing to say
}

} // namespace quorvane
