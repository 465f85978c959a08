#include "platform/qt/QtWindow.h"

#include "platform/Preferences.h"
#include "platform/qt/DetailsList.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <optional>

namespace quorvane {
namespace {

// Qt counts y downward from the top of the virtual desktop; the logic upward from the bottom of the
// primary screen. The bottom edge of the primary screen is where the two meet.
int flipBase() {
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    return primary.y() + primary.height();
}

QRect toQt(const Rect& frame) {
    const int width = static_cast<int>(std::lround(frame.width));
    const int height = static_cast<int>(std::lround(frame.height));
    const int bottom = static_cast<int>(std::lround(frame.y));
    return QRect(static_cast<int>(std::lround(frame.x)), flipBase() - bottom - height, width, height);
}

Rect fromQt(const QRect& geometry) {
    return Rect{static_cast<float>(geometry.x()),
                static_cast<float>(flipBase() - geometry.y() - geometry.height()),
                static_cast<float>(geometry.width()), static_cast<float>(geometry.height())};
}

// The rectangle moved, and shrunk where it must be, to lie within the area.
QRect keptWithin(const QRect& rect, const QRect& area) {
    const QSize size = rect.size().boundedTo(area.size());
    const int x = std::clamp(rect.x(), area.left(), area.right() + 1 - size.width());
    const int y = std::clamp(rect.y(), area.top(), area.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}

std::optional<Rect> parseFrame(const std::string& text) {
    const QStringList parts = QString::fromStdString(text).split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4) {
        return std::nullopt;
    }
    float values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toFloat(&ok);
        if (!ok || !std::isfinite(values[i])) {
            return std::nullopt;
        }
    }
    if (values[2] <= 0 || values[3] <= 0) {
        return std::nullopt;
    }
    return Rect{values[0], values[1], values[2], values[3]};
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

QtWindow::QtWindow(QWidget& window, Preferences& preferences) : _window(window), _preferences(preferences) {
    _window.installEventFilter(this);
}

std::string QtWindow::title() const {
    return _window.windowTitle().toStdString();
}

void QtWindow::keepFrameUnder(const std::string& name) {
    _frameName = name;
    if (name.empty()) {
        return;
    }
    if (const std::optional<std::string> saved = _preferences.stringValue(frameKey())) {
        if (const std::optional<Rect> frame = parseFrame(*saved)) {
            setFrame(*frame);
        }
    }
}

void QtWindow::show() {
    _window.show();
    _window.raise();
    _window.activateWindow();
}

Rect QtWindow::frame() const {
    return fromQt(_window.geometry());
}

void QtWindow::setFrame(const Rect& frame) {
    _window.setGeometry(keptOnScreen(toQt(frame)));
    // A hidden window lays out its controls only when shown; the logic measures them before that.
    if (QLayout* layout = _window.layout(); layout != nullptr && !_window.isVisible()) {
        layout->invalidate();
        layout->activate();
    }
}

QMargins QtWindow::decorations() const {
    const QRect outer = _window.frameGeometry();
    const QRect inner = _window.geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

QRect QtWindow::availableArea(const QRect& geometry) const {
    const QScreen* screen = QGuiApplication::screenAt(geometry.center());
    if (screen == nullptr) {
        screen = _window.screen();
    }
    return screen->availableGeometry();
}

QRect QtWindow::keptOnScreen(const QRect& geometry) const {
    // The decorations must fit on the screen as well. They are known only once the window manager has
    // framed the shown window: until then they count as none, and the frame is checked again then.
    const QMargins margins = decorations();
    return keptWithin(geometry.marginsAdded(margins), availableArea(geometry)).marginsRemoved(margins);
}

void QtWindow::keepFrameOnScreen() {
    if (_keepingOnScreen) {
        return;
    }
    const QRect fitted = keptOnScreen(_window.geometry());
    if (fitted != _window.geometry()) {
        _keepingOnScreen = true;
        _window.setGeometry(fitted);
        _keepingOnScreen = false;
    }
}

void QtWindow::openSheet(Sheet sheet) {
    auto* box = new QMessageBox(&_window);
    box->setWindowTitle(_window.windowTitle());
    box->setTextFormat(Qt::PlainText);
    box->setText(qText(sheet.title));
    box->setInformativeText(qText(sheet.message));
    if (!sheet.details.empty()) {
        new DetailsList(*box, std::move(sheet.details), qText(sheet.showDetailsButton),
                        qText(sheet.hideDetailsButton));
    }
    QPushButton* okButton = box->addButton(qText(sheet.okButton), QMessageBox::AcceptRole);
    QPushButton* cancelButton =
        sheet.cancelButton ? box->addButton(qText(*sheet.cancelButton), QMessageBox::RejectRole) : nullptr;
    QPushButton* furtherButton =
        sheet.furtherAction ? box->addButton(qText(*sheet.furtherAction), QMessageBox::ActionRole) : nullptr;
    box->setDefaultButton(okButton);
    box->setEscapeButton(cancelButton ? cancelButton : okButton);
    for (QLabel* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
    // finished comes after the box has been hidden.
    connect(box, &QDialog::finished, box,
            [box, cancelButton, furtherButton, answered = std::move(sheet.answered)] {
                box->deleteLater();
                const QAbstractButton* clicked = box->clickedButton();
                const SheetAnswer answer = clicked == nullptr
                                               ? (cancelButton ? SheetAnswer::cancel : SheetAnswer::ok)
                                           : clicked == cancelButton  ? SheetAnswer::cancel
                                           : clicked == furtherButton ? SheetAnswer::furtherAction
                                                                      : SheetAnswer::ok;
                if (answered) {
                    answered(answer);
                }
            });
    std::erase_if(_sheets,
                  [](const QPointer<QMessageBox>& open) { return open.isNull() || !open->isVisible(); });
    _sheets.emplace_back(box);
    box->open();
}

void QtWindow::closeSheet() {
    while (!_sheets.empty()) {
        const QPointer<QMessageBox> newest = _sheets.back();
        _sheets.pop_back();
        if (newest && newest->isVisible()) {
            newest->reject(); // answered as Escape answers it: no button was clicked
            return;
        }
    }
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &_window && type == QEvent::Show && _window.windowHandle() != nullptr) {
        // The native window is exposed once the window manager has framed it.
        _window.windowHandle()->installEventFilter(this);
    }
    const bool placed =
        watched == &_window && (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize);
    const bool exposed = watched == _window.windowHandle() && type == QEvent::Expose;
    // Fitted again when shown and whenever the window manager's frame changes; a window the user moves
    // stays where it is put.
    if ((placed || exposed) && _window.isVisible() &&
        (type == QEvent::Show || decorations() != _knownDecorations)) {
        _knownDecorations = decorations();
        keepFrameOnScreen();
    }
    if (watched == &_window && type == QEvent::Close && _shouldClose && !_shouldClose()) {
        event->ignore();
        return true;
    }
    if (watched == &_window && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Close)) {
        saveFrame();
    }
    return false;
}

void QtWindow::close() {
    _window.close();
}

std::string QtWindow::frameKey() const {
    return "NSWindow Frame " + _frameName;
}

void QtWindow::saveFrame() {
    // A frame that does not fit (its decorations not yet taken into account) would come back at every start.
    if (_frameName.empty() || !availableArea(_window.geometry()).contains(_window.frameGeometry())) {
        return;
    }
    const Rect frame = this->frame();
    _preferences.setString(
        frameKey(),
        QString("%1 %2 %3 %4").arg(frame.x).arg(frame.y).arg(frame.width).arg(frame.height).toStdString());
}

} // namespace quorvane
