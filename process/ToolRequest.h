#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
    // The largest file the tool may write, in bytes (RLIMIT_FSIZE): a write beyond it fails (EFBIG) and
    // sends the tool SIGXFSZ, which ends it unless it ignores the signal. None: no limit of its own.
    std::optional<std::uint64_t> fileSizeLimit = std::nullopt;
};

} // namespace quorvane
