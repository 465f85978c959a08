#pragma once

#include <string>

namespace quorvane {

class InstallationList;
class Log;
class ToolProcess;

// Looks for the installations on the machine with the locate tool and lists what it finds. The list says
// it is searching until the tool has ended.
class InstallationSearch {
public:
    InstallationSearch(std::string locatePath, Log& log) : _locatePath(std::move(locatePath)), _log(log) {}
    // A search still going is given up: its tool is stopped and the list left as it is.
    ~InstallationSearch();
    InstallationSearch(const InstallationSearch&) = delete;
    InstallationSearch& operator=(const InstallationSearch&) = delete;

    void start(InstallationList& list);

private:
    std::string _locatePath;
    Log& _log;
    ToolProcess* _tool = nullptr;
};

} // namespace quorvane
