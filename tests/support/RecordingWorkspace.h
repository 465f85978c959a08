#pragma once

#include "platform/Workspace.h"

#include <string>
#include <vector>

namespace quorvane::test {

// A workspace that notes the folders it is asked to show instead of starting a file manager.
class RecordingWorkspace : public Workspace {
public:
    using Workspace::Workspace;
    bool openFolder(const std::string& path) override {
        openedFolders.push_back(path);
        return true;
    }
    std::vector<std::string> openedFolders;
};

} // namespace quorvane::test
