#pragma once

#include "platform/Button.h"

namespace quorvane::test {

class FakeButton : public Button {
public:
    void setEnabled(bool enabled) override { this->enabled = enabled; }
    bool isEnabled() const override { return enabled; }
    bool enabled = false;
};

} // namespace quorvane::test
