#pragma once

#include "platform/Button.h"

#include <QAbstractButton>
#include <functional>
#include <utility>

namespace quorvane {

// A push button; a click runs its action.
class QtButton : public Button {
public:
    explicit QtButton(QAbstractButton& button) : _button(button) {
        _clicked = QObject::connect(&_button, &QAbstractButton::clicked, &_button, [this] {
            if (_action) {
                _action();
            }
        });
    }
    ~QtButton() override { QObject::disconnect(_clicked); }
    QtButton(const QtButton&) = delete;
    QtButton& operator=(const QtButton&) = delete;

    void setEnabled(bool enabled) override { _button.setEnabled(enabled); }
    bool isEnabled() const override { return _button.isEnabled(); }
    void setAction(std::function<void()> action) { _action = std::move(action); }

private:
    QAbstractButton& _button;
    std::function<void()> _action;
    QMetaObject::Connection _clicked;
};

} // namespace quorvane
