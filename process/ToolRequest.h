#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvane {

class ToolProcess;

// One external tool to run, and who hears of it.
struct ToolRequest {
    // The tool's path, and the folder it runs in ("": the program's own).
    std::string program;
    std::string folder;
    // Each one word, passed as it is: no shell sees them.
    std::vector<std::string> arguments = {};
    // Each chunk of standard output as it arrives; none: the output is collected for onFinished.
    std::function<void(ToolProcess&)> onOutput = {};
    // The tool's end, once.
    std::function<void(ToolProcess&)> onFinished = {};
    // Exit codes that are answers, not failures (locate answers 1 when it finds nothing); any other one
    // is logged.
    std::vector<int> answeringExitCodes = {0};
};

} // namespace quorvane
