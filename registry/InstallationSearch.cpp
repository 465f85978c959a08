#include "registry/InstallationSearch.h"

#include "process/ToolProcess.h"
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
    _tool = ToolProcess::start(ToolRequest{.program = _locatePath,
                                           .folder = "/",
                                           .arguments = {"*/Quorvane"},
                                           .onFinished =
                                               [this, &list](ToolProcess& tool) {
                                                   _tool = nullptr;
                                                   list.fillFromSearch(tool.output());
                                               },
                                           // Nothing found is locate's 1.
                                           .answeringExitCodes = {0, 1}},
                               _log);
}

} // namespace quorvane
