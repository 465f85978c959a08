#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QProcess;

namespace quorvane {

class Log;

// Runs one external tool as a child process on the event loop of the thread that starts it. It collects the tool's
// standard output, writes its standard error to the log and reports the tool's end to its parent.
//
// A runner owns itself: initProcess launches the tool and returns a runner that nobody needs to keep.
// It is destroyed right after its terminate handler has returned; a parent may read its fields during
// a handler call but must not keep it.
//
// With an output handler (handler mode) each chunk of standard output is handed over as it arrives, in
// outputString(); without one (collecting mode) the chunks are joined in outputString() for the
// terminate handler to read. Output is kept as the tool's bytes (UTF-8 text as a rule): a multi-byte
// character split between two reads is handed over whole, and no byte is ever dropped.
class MyProcess {
public:
    using Handler = std::function<void(MyProcess&)>;

    // Launches the tool at launchPath in directory with the arguments options and file (each one word,
    // no shell), and the program's environment with "NSUnbufferedIO" set to "YES". The terminate
    // handler is called exactly once: after both output streams have ended and the tool has exited, or
    // at once (with a log line) when the tool cannot be started.
    static MyProcess* initProcess(const std::string& launchPath, const std::string& directory,
                                  const std::optional<std::string>& options,
                                  const std::optional<std::string>& file, Handler outputHandler,
                                  Handler terminateHandler, const void* parent, Log& log);

    // Kills the tool, waits for its end and destroys the runner without calling a handler: for a parent
    // that goes away while the tool runs. Never from inside one of the runner's own handlers.
    void abandon();

    ~MyProcess();
    MyProcess(const MyProcess&) = delete;
    MyProcess& operator=(const MyProcess&) = delete;

    QProcess* process() const { return _process.get(); }
    // Stores a new child process; one that still runs is sent terminate first (and killed when it has not
    // stopped a second later). A live runner still reports the end of the tool it gave up.
    void setProcess(std::unique_ptr<QProcess> process);
    const std::string& outputString() const { return _outputString; }
    void setOutputString(std::string outputString) { _outputString = std::move(outputString); }
    const std::string& launchPath() const { return _launchPath; }
    void setLaunchPath(std::string launchPath) { _launchPath = std::move(launchPath); }
    const std::string& directory() const { return _directory; }
    void setDirectory(std::string directory) { _directory = std::move(directory); }
    const std::optional<std::string>& options() const { return _options; }
    void setOptions(std::optional<std::string> options) { _options = std::move(options); }
    const std::optional<std::string>& file() const { return _file; }
    void setFile(std::optional<std::string> file) { _file = std::move(file); }
    const Handler& outputHandler() const { return _outputHandler; }
    void setOutputHandler(Handler handler) { _outputHandler = std::move(handler); }
    const Handler& terminateHandler() const { return _terminateHandler; }
    void setTerminateHandler(Handler handler) { _terminateHandler = std::move(handler); }
    const void* parent() const { return _parent; }
    void setParent(const void* parent) { _parent = parent; }

    void appendToOutputString(const std::string& text) { _outputString += text; }

private:
    explicit MyProcess(Log& log);
    class Private;
    friend class Private;

    std::unique_ptr<QProcess> _process;
    std::string _outputString;
    std::string _launchPath;
    std::string _directory;
    std::optional<std::string> _options;
    std::optional<std::string> _file;
    const void* _parent = nullptr;
    Handler _outputHandler;
    Handler _terminateHandler;

    Log& _log;
    std::unique_ptr<Private> _private;
};

} // namespace quorvane
