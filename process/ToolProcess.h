#pragma once

#include "process/ToolRequest.h"

#include <memory>
#include <string>

class QProcess;

namespace quorvane {

class Log;

// Runs one external tool as a child process on the event loop of the thread that starts it. It collects
// the tool's standard output, writes its standard error to the log and reports the tool's end.
//
// A runner owns itself: start launches the tool and answers a runner that nobody needs to keep. It goes
// right after onFinished has returned; a handler may read it during its call but must not keep it.
//
// With onOutput each chunk of standard output is handed over as it arrives, in output(); without it the
// chunks are joined in output() for onFinished to read. Output is kept as the tool's bytes (UTF-8 text as
// a rule): a multi-byte character split between two reads is handed over whole, and no byte is dropped.
class ToolProcess {
public:
    // Launches the tool with the program's environment, "NSUnbufferedIO" set to "YES". onFinished is
    // called exactly once: after both output streams have ended and the tool has exited, or (with a log
    // line) when the tool cannot be started; always from the event loop, never before start has answered.
    static ToolProcess* start(ToolRequest request, Log& log);

    // Kills the tool, waits for its end and destroys the runner without calling a handler: for an owner
    // that goes away while the tool runs. Never from inside one of the runner's own handlers.
    void abandon();

    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // The latest chunk of standard output with onOutput; without it, all of it so far.
    const std::string& output() const { return _output; }
    // The child process: its state, its id, how it ended.
    QProcess* process() const { return _process.get(); }

private:
    ToolProcess(ToolRequest request, Log& log);
    ~ToolProcess();
    class Private;

    ToolRequest _request;
    std::string _output;
    std::unique_ptr<QProcess> _process;
    Log& _log;
    std::unique_ptr<Private> _private;
};

} // namespace quorvane
