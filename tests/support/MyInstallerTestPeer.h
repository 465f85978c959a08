#pragma once

#include "controller/MyInstaller.h"

namespace quorvane {

// Reaches the controller's private operations from tests.
class MyInstallerTestPeer {
public:
    explicit MyInstallerTestPeer(MyInstaller& installer) : _installer(installer) {}
    void dragConfirmed(int returnCode) { _installer._dragConfirmed(returnCode); }

private:
    MyInstaller& _installer;
};

} // namespace quorvane
