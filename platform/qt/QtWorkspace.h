#pragma once

#include "platform/Workspace.h"

namespace quorvane {

// The desktop's workspace as the window sees it: folders open in the user's file manager.
class QtWorkspace : public Workspace {
public:
    using Workspace::Workspace;
    bool openFolder(const std::string& path) override;
};

} // namespace quorvane
