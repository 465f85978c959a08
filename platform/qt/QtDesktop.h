#pragma once

#include "platform/Desktop.h"

namespace quorvane {

// The desktop as the window sees it: folders open in the user's file manager.
class QtDesktop : public Desktop {
public:
    bool openFolder(const std::string& path) override;
};

} // namespace quorvane
