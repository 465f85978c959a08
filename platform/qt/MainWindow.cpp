#include "platform/qt/MainWindow.h"

#include "platform/qt/WindowMenus.h"
#include "ui_MainWindow.h"

#include <QAccessibleWidget>
#include <QIcon>
#include <QLabel>
#include <QLayout>

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

// A label that takes no room while it has nothing to say.
class HidingTextField : public QtTextField {
public:
    explicit HidingTextField(QLabel& label) : QtTextField(label), _label(label) {}
    void setStringValue(const std::string& text) override {
        QtTextField::setStringValue(text);
        _label.setVisible(!text.empty());
    }

private:
    QLabel& _label;
};

std::unique_ptr<Ui::MainWindow> setUpUi(QWidget& widget) {
    QAccessible::installFactory(windowAccessible); // once: a factory already installed is not added again
    auto ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(&widget);
    widget.setWindowIcon(programIcon()); // its sheets and dialogs show it too
    // Lay out at once: the logic measures the table before the window is first shown.
    widget.layout()->activate();
    return ui;
}

} // namespace

MainWindow::MainWindow(Preferences& preferences)
    : _ui(setUpUi(_widget)), _window(_widget, preferences), _file(*_ui->_file), _fileLabel(*_ui->_fileLabel),
      _progress(*_ui->_progress), _cancelButton(*_ui->_cancelButton),
      _waitingLine(std::make_unique<HidingTextField>(*_ui->_waitingLine)),
      _menus(new WindowMenus(_widget, *_ui->_appPathSelector)) {}

MainWindow::~MainWindow() = default;

QtTableView& MainWindow::appPathSelector() {
    return *_ui->_appPathSelector;
}

} // namespace quorvane
