#include "registry/InstallationSearch.h"

#include "process/MyProcess.h"
#include "registry/InstallationList.h"

namespace quorvane {

InstallationSearch::~InstallationSearch() {
    if (_tool) {
        _tool->abandon();
    }
}

void InstallationSearch::start(InstallationList& list) {
    if (_tool) {
        return;
    }
    list.setSearching(true);
    // One unexpanded pattern: every path that ends in the application's name.
    _tool = MyProcess::initProcess(
        _locatePath, "/", std::string("*/Quorvane"), std::nullopt, nullptr,
        [this, &list](MyProcess& tool) {
            _tool = nullptr;
            list.fillFromSearch(tool.outputString());
        },
        this, _log);
}

} // namespace quorvane
