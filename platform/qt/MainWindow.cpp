#include "platform/qt/MainWindow.h"

#include "ui_MainWindow.h"

#include <QLayout>

namespace quorvane {
namespace {

std::unique_ptr<Ui::MainWindow> setUpUi(QWidget& widget) {
    auto ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(&widget);
    // Lay out at once: the logic measures the table before the window is first shown.
    widget.layout()->activate();
    return ui;
}

} // namespace

MainWindow::MainWindow(UserDefaults& userDefaults)
    : _ui(setUpUi(_widget)), _window(_widget, userDefaults), _file(*_ui->_file), _fileLabel(*_ui->_fileLabel),
      _progress(*_ui->_progress), _cancelButton(*_ui->_cancelButton) {}

MainWindow::~MainWindow() = default;

QtTableView& MainWindow::appPathSelector() {
    return *_ui->_appPathSelector;
}

} // namespace quorvane
