#include "process/ToolProcess.h"

#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PosixIo.h"
#include "platform/SystemError.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string_view>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace quorvane {
namespace {

constexpr std::string_view kUnbufferedName = "NSUnbufferedIO";
// How long a tool that was asked to stop may take before it is killed.
constexpr int kStopGraceMilliseconds = 1000;

// The number of bytes at the end of bytes that begin a UTF-8 sequence but do not complete it: a lead
// byte followed by fewer continuation bytes than it announces, each of them allowed after it. Anything
// else (ASCII, a complete character, bytes that can never become a character) gives 0.
std::size_t incompleteUtf8Tail(std::string_view bytes) {
    const std::size_t size = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue; // a continuation byte: its lead lies further back
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the byte after the lead
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            low = byte == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
            high = byte == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            low = byte == 0xF0 ? 0x90 : 0x80;  // no overlong forms
            high = byte == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
        }
        if (length <= back) {
            return 0; // complete, or not the start of a character at all
        }
        if (back >= 2) {
            const auto second = static_cast<unsigned char>(bytes[size - back + 1]);
            if (second < low || second > high) {
                return 0;
            }
        }
        return back;
    }
    return 0;
}

// Joins the chunks of one stream so that no UTF-8 character is split between two of them: an
// incomplete character at the end of a chunk is held back and put in front of the next one.
class Utf8Joiner {
public:
    // The chunk with what was held before it, minus an incomplete character at its end.
    std::string take(const QByteArray& chunk) {
        _held.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        const std::size_t complete = _held.size() - incompleteUtf8Tail(_held);
        std::string text = _held.substr(0, complete);
        _held.erase(0, complete);
        return text;
    }
    // The last chunk of the stream: everything held, whatever it is.
    std::string finish(const QByteArray& chunk) {
        std::string text = std::exchange(_held, {});
        text.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        return text;
    }

private:
    std::string _held;
};

QString displayText(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// The program's own environment with "NSUnbufferedIO" set to "YES", as "NAME=value" entries of bytes.
std::vector<std::string> toolEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (text.substr(0, text.find('=')) != kUnbufferedName) {
            entries.emplace_back(text);
        }
    }
    entries.push_back(std::string(kUnbufferedName) + "=YES");
    return entries;
}

// A step of starting the tool that failed in the child, reported to the parent through a pipe.
struct LaunchFailure {
    int step;
    int error;
};
constexpr int kEnterDirectory = 1;
constexpr int kExecute = 2;
constexpr int kLimitFileSize = 3;

// Everything the child needs to start the tool, prepared in the parent: between fork and exec the
// child only calls prctl, getppid, chdir, setrlimit, execve, write and _exit. Paths and arguments go to the
// system as the bytes they are, so names that are not valid UTF-8 reach the tool unchanged.
struct ChildLaunch {
    std::string path;
    std::string directory;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int failurePipe = -1;
    pid_t parent = 0; // the program, which the tool must not outlive
    std::optional<std::uint64_t> fileSizeLimit;

    void prepare() {
        argv.clear();
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        envp.clear();
        for (auto& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        parent = ::getpid();
    }

    [[noreturn]] void fail(int step) const {
        const LaunchFailure failure{step, errno};
        posixio::writeAll(failurePipe, {reinterpret_cast<const char*>(&failure), sizeof failure});
        ::_exit(127);
    }

    // Runs in the child, after its standard streams have been connected.
    void exec() const {
        // Killed with the program, however it ends; a program that died before this line is gone already.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
            ::_exit(127);
        }
        if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
            fail(kEnterDirectory);
        }
        if (fileSizeLimit) {
            const rlimit limit{static_cast<rlim_t>(*fileSizeLimit), static_cast<rlim_t>(*fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                fail(kLimitFileSize);
            }
        }
        ::execve(path.c_str(), argv.data(), envp.data());
        fail(kExecute);
    }
};

// Deletes a child process that is given up once it has ended, killing it if it still runs (only a tool that
// did not end within abandon()'s wait gets here running). Never waits and never deletes at once: this may
// run inside one of the process's own signals.
void retire(std::unique_ptr<QProcess> owned) {
    QProcess* process = owned.release();
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    // A tool still running when the program quits is killed then. A tool of another thread goes with that
    // thread's end, which its owner waits for.
    if (QCoreApplication* application = QCoreApplication::instance();
        application && application->thread() == process->thread()) {
        process->setParent(application);
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->kill();
}

} // namespace

class ToolProcess::Private {
public:
    explicit Private(ToolProcess& owner) : owner(owner) {}

    void launch();
    void connectTo(QProcess* process);
    void outputAvailable(QProcess* process);
    void errorAvailable(QProcess* process);
    void processFinished(QProcess* process, int exitCode, QProcess::ExitStatus exitStatus);
    void processFailed(QProcess* process, QProcess::ProcessError error);
    void deliverOutput(std::string text);
    void logError(const std::string& text);
    void scheduleEnd();
    void endWhenIdle();
    void end();

    ToolProcess& owner;
    // Receives the child process's signals; going away with the runner, it ends them all.
    QObject context;
    ChildLaunch child;
    Utf8Joiner output;
    Utf8Joiner error;
    bool startFailed = false; // the failure is logged already; the exit status means nothing
    bool exited = false;
    QPointer<QProcess> exitedProcess; // the process whose end is reported
    bool ended = false;
    int exitCode = 0;
    bool crashed = false;
    int handlerDepth = 0; // output handler calls in progress
};

void ToolProcess::Private::launch() {
    const ToolRequest& request = owner._request;
    QStringList arguments;
    child.path = request.program;
    child.directory = request.folder;
    child.arguments = {request.program};
    for (const std::string& argument : request.arguments) {
        child.arguments.push_back(argument);
        arguments.append(displayText(argument));
    }
    child.environment = toolEnvironment();
    child.fileSizeLimit = request.fileSizeLimit;
    child.prepare();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kUnbufferedName.data(), kUnbufferedName.size()),
                       QStringLiteral("YES"));

    auto created = std::make_unique<QProcess>();
    created->setProgram(displayText(request.program));
    created->setArguments(arguments);
    created->setProcessEnvironment(environment);
    // The working directory is entered by the child itself (see ChildLaunch), from its bytes.
    created->setProcessChannelMode(QProcess::SeparateChannels);
    created->setInputChannelMode(QProcess::ForwardedInputChannel);
    created->setChildProcessModifier([this] { child.exec(); });
    owner._process = std::move(created);
    QProcess* process = owner._process.get();
    connectTo(process);

    int failurePipe[2];
    if (::pipe2(failurePipe, O_CLOEXEC) != 0) {
        startFailed = true;
        owner._log.log(formatMessage("process error: %@",
                                     {std::string("cannot create a pipe: ") + systemErrorText(errno)}));
        exited = true;
        exitedProcess = process;
        scheduleEnd();
        return;
    }
    child.failurePipe = failurePipe[1];
    process->start();
    ::close(failurePipe[1]);
    child.failurePipe = -1;

    // The child closes its end when the tool is running (close-on-exec) or writes why it could not.
    LaunchFailure failure{};
    const ssize_t received = posixio::readFull(failurePipe[0], &failure, sizeof failure);
    ::close(failurePipe[0]);
    if (received == static_cast<ssize_t>(sizeof failure) && !startFailed) {
        startFailed = true;
        const std::string reason =
            failure.step == kEnterDirectory  ? "cannot enter the folder " + request.folder
            : failure.step == kLimitFileSize ? std::string("cannot limit its file size")
                                             : "cannot start " + request.program;
        owner._log.log(formatMessage("process error: %@", {reason + ": " + systemErrorText(failure.error)}));
        // The child exits at once; its end is reported like any other.
    }
}

void ToolProcess::Private::connectTo(QProcess* process) {
    QObject::connect(process, &QProcess::readyReadStandardOutput, &context,
                     [this, process] { outputAvailable(process); });
    QObject::connect(process, &QProcess::readyReadStandardError, &context,
                     [this, process] { errorAvailable(process); });
    QObject::connect(
        process, &QProcess::finished, &context,
        [this, process](int code, QProcess::ExitStatus status) { processFinished(process, code, status); });
    QObject::connect(process, &QProcess::errorOccurred, &context,
                     [this, process](QProcess::ProcessError failure) { processFailed(process, failure); });
}

void ToolProcess::Private::outputAvailable(QProcess* process) {
    if (ended) {
        return;
    }
    const QByteArray chunk = process->readAllStandardOutput();
    if (!chunk.isEmpty()) {
        deliverOutput(output.take(chunk));
    }
}

void ToolProcess::Private::errorAvailable(QProcess* process) {
    if (ended) {
        return;
    }
    const QByteArray chunk = process->readAllStandardError();
    if (!chunk.isEmpty()) {
        logError(error.take(chunk));
    }
}

void ToolProcess::Private::deliverOutput(std::string text) {
    if (text.empty()) {
        return;
    }
    if (!owner._request.onOutput) {
        owner._output += text;
        return;
    }
    owner._output = std::move(text);
    ++handlerDepth;
    owner._request.onOutput(owner);
    --handlerDepth;
    if (handlerDepth == 0 && exited && !ended) {
        // The tool ended while the handler ran an event loop of its own; the end is handled now that
        // it has returned, from the event loop rather than from inside the chunk's handling.
        scheduleEnd();
    }
}

void ToolProcess::Private::logError(const std::string& text) {
    if (!text.empty()) {
        owner._log.log(formatMessage("process error: %@", {text}));
    }
}

void ToolProcess::Private::processFinished(QProcess* process, int code, QProcess::ExitStatus status) {
    if (ended) {
        return;
    }
    exited = true;
    exitedProcess = process;
    exitCode = code;
    crashed = status == QProcess::CrashExit;
    endWhenIdle();
}

void ToolProcess::Private::processFailed(QProcess* process, QProcess::ProcessError failure) {
    // A tool that ran reports its end through finished(), a crash included.
    if (failure != QProcess::FailedToStart || ended || exited) {
        return;
    }
    if (!startFailed) {
        startFailed = true;
        owner._log.log(formatMessage("process error: %@", {process->errorString().toStdString()}));
    }
    exited = true;
    exitedProcess = process;
    // This may come from inside start(): report the end from the event loop, never to a caller that is
    // still creating the runner.
    scheduleEnd();
}

void ToolProcess::Private::scheduleEnd() {
    QTimer::singleShot(0, &context, [this] { endWhenIdle(); });
}

void ToolProcess::Private::endWhenIdle() {
    if (!ended && handlerDepth == 0) {
        end();
    }
}

void ToolProcess::Private::end() {
    ended = true;
    QProcess* process = exitedProcess.data();
    // What is still in the pipes is the last chunk of each stream.
    QByteArray lastOutput, lastError;
    if (process != nullptr) {
        QObject::disconnect(process, nullptr, &context, nullptr);
        if (process->isOpen()) {
            lastOutput = process->readAllStandardOutput();
            lastError = process->readAllStandardError();
        }
    }
    deliverOutput(output.finish(lastOutput));
    logError(error.finish(lastError));
    const auto& answers = owner._request.answeringExitCodes;
    if (!startFailed && (crashed || std::find(answers.begin(), answers.end(), exitCode) == answers.end())) {
        owner._log.log(formatMessage("Error: process returned code %d", {exitCode}));
    }
    ToolProcess* runner = &owner;
    if (owner._request.onFinished) {
        owner._request.onFinished(*runner);
    }
    delete runner; // this object goes with it
}

ToolProcess::ToolProcess(ToolRequest request, Log& log)
    : _request(std::move(request)), _log(log), _private(std::make_unique<Private>(*this)) {}

ToolProcess::~ToolProcess() {
    if (_process != nullptr) {
        QObject::disconnect(_process.get(), nullptr, &_private->context, nullptr); // nothing more to hear
        retire(std::move(_process));
    }
}

ToolProcess* ToolProcess::start(ToolRequest request, Log& log) {
    auto* runner = new ToolProcess(std::move(request), log);
    runner->_private->launch();
    return runner;
}

void ToolProcess::abandon() {
    if (_process != nullptr) {
        QObject::disconnect(_process.get(), nullptr, &_private->context, nullptr);
        if (_process->state() != QProcess::NotRunning) {
            _process->kill();
            _process->waitForFinished(kStopGraceMilliseconds);
        }
        if (_process->state() == QProcess::NotRunning) {
            _process.reset();
        }
    }
    delete this;
}

} // namespace quorvane
