#include "process/MyProcess.h"

#include "support/EventLoopWait.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <QPointer>
#include <QProcess>
#include <QString>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <signal.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Chunks = std::vector<std::string>;
using namespace std::chrono_literals;

enum class Mode { Collecting, Handler };

// What one runner handed to its parent, and whether the runner is still there.
struct ToolRun {
    MyProcess* runner = nullptr;
    QPointer<QProcess> process;
    Chunks chunks;                   // output handler calls, each with outputString() at the time
    std::vector<std::string> events; // "output" and "end", in order
    int terminateCalls = 0;
    std::string finalOutput;
    std::string directoryAtEnd;
    const void* parentAtEnd = nullptr;
    MyProcess* runnerAtEnd = nullptr;
    bool toolStoppedAtEnd = false;
    std::function<void(MyProcess&)> onChunk;
    // The runner's handlers share this; it expires when the runner has let them go, that is when it is
    // destroyed.
    std::weak_ptr<void> handlers;

    bool done() const { return handlers.expired(); }
};

std::unique_ptr<ToolRun> startRun(Log& log, const std::string& tool, const std::string& directory, Mode mode,
                                  const std::optional<std::string>& options = std::nullopt,
                                  const std::optional<std::string>& file = std::nullopt,
                                  std::function<void(MyProcess&)> onChunk = {}) {
    auto run = std::make_unique<ToolRun>();
    ToolRun* r = run.get();
    r->onChunk = std::move(onChunk);
    auto token = std::make_shared<int>(0);
    r->handlers = token;
    MyProcess::Handler outputHandler;
    if (mode == Mode::Handler) {
        outputHandler = [r, token](MyProcess& runner) {
            r->chunks.push_back(runner.outputString());
            r->events.push_back("output");
            if (r->onChunk) {
                r->onChunk(runner);
            }
        };
    }
    MyProcess::Handler terminateHandler = [r, token](MyProcess& runner) {
        ++r->terminateCalls;
        r->events.push_back("end");
        r->finalOutput = runner.outputString();
        r->directoryAtEnd = runner.directory();
        r->parentAtEnd = runner.parent();
        r->runnerAtEnd = &runner;
        r->toolStoppedAtEnd =
            runner.process() != nullptr && runner.process()->state() == QProcess::NotRunning;
    };
    r->runner = MyProcess::initProcess(tool, directory, options, file, std::move(outputHandler),
                                       std::move(terminateHandler), r, log);
    r->process = r->runner->process();
    return run;
}

bool finish(const ToolRun& run) {
    return waitUntil([&] { return run.done(); });
}

// A shell script made executable, standing in for a tool.
std::string writeTool(const TemporaryFolder& folder, const std::string& name, const std::string& body) {
    const std::string path = folder.writeFile(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

// A printf command that writes exactly the given bytes.
std::string printfBytes(const std::string& bytes) {
    std::string command = "printf '";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\' && c != '%' && c != '\'') {
            command += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
            command += escape;
        }
    }
    return command + "'\n";
}

// Waits (at most ten seconds) until the file exists: the test creates it when it has seen what came
// before, which makes the chunk boundaries certain.
std::string awaitFile(const std::string& path) {
    return "i=0; while [ ! -e '" + path + "' ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n";
}

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool isValidUtf8(const std::string& bytes) {
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromUtf8(data).toUtf8() == data;
}

class MyProcessTest : public testing::Test {
protected:
    TemporaryFolder folder;
    RecordingLog log;
};

// ---- Launch: arguments, environment, working directory ----

TEST_F(MyProcessTest, ToolGetsExactlyTheGivenArgumentsUnexpanded) {
    struct Case {
        std::optional<std::string> options;
        std::optional<std::string> file;
        std::string expected;
    };
    const std::string odd = "/a b/$HOME/caf\xE9 \"x\".zip"; // spaces, a variable, no valid UTF-8
    const Case cases[] = {
        {std::nullopt, std::nullopt, "0\n"},
        {"*/Quorvane", std::nullopt, "1\n*/Quorvane\n"},
        {std::nullopt, "only file", "1\nonly file\n"},
        {"-xvf", odd, "2\n-xvf\n" + odd + "\n"},
    };
    const std::string tool = writeTool(folder, "args",
                                       "printf '%s\\n' \"$#\"\n"
                                       "for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n");
    // Something for a shell to expand "*/Quorvane" to, if one were involved.
    folder.writeFile("work/x/Quorvane", "game");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        auto run = startRun(log, tool, folder / "work", Mode::Collecting, c.options, c.file);
        ASSERT_TRUE(finish(*run));
        EXPECT_EQ(run->finalOutput, c.expected);
        EXPECT_EQ(run->terminateCalls, 1);
    }
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(MyProcessTest, ToolGetsTheProgramsEnvironmentWithUnbufferedOutput) {
    const std::string tool = writeTool(folder, "env",
                                       "env | grep -c '^NSUnbufferedIO='\n"
                                       "printf '%s\\n' \"$NSUnbufferedIO\" \"$QUORVANE_PROCESS_TEST\"\n");
    ::setenv("QUORVANE_PROCESS_TEST", "kept value", 1);
    for (const char* ownValue : {static_cast<const char*>(nullptr), "NO"}) {
        SCOPED_TRACE(ownValue != nullptr ? ownValue : "not set");
        if (ownValue != nullptr) {
            ::setenv("NSUnbufferedIO", ownValue, 1);
        } else {
            ::unsetenv("NSUnbufferedIO");
        }
        auto run = startRun(log, tool, folder.path(), Mode::Collecting);
        ASSERT_TRUE(finish(*run));
        EXPECT_EQ(run->finalOutput, "1\nYES\nkept value\n");
    }
    ::unsetenv("NSUnbufferedIO");
    ::unsetenv("QUORVANE_PROCESS_TEST");
}

TEST_F(MyProcessTest, ToolRunsInTheGivenFolder) {
    const std::string tool = writeTool(folder, "pwd", "pwd -P\n");
    for (const std::string name : {"plain", "caf\xE9 folder"}) {
        const std::string directory = folder.makeFolder(name);
        auto run = startRun(log, tool, directory, Mode::Collecting);
        ASSERT_TRUE(finish(*run));
        EXPECT_EQ(run->finalOutput, realPath(directory) + "\n");
        EXPECT_EQ(run->directoryAtEnd, directory);
    }
}

// ---- Standard output in both modes ----

TEST_F(MyProcessTest, CollectingModeJoinsChunksAsTheyCame) {
    const std::string go = folder / "go";
    const std::string tool =
        writeTool(folder, "tool", printfBytes("first li") + awaitFile(go) + printfBytes("ne\nsecond line\n"));
    auto run = startRun(log, tool, folder.path(), Mode::Collecting);
    ASSERT_TRUE(waitUntil([&] { return run->done() || run->runner->outputString() == "first li"; }));
    ASSERT_FALSE(run->done());
    folder.writeFile("go", "");
    ASSERT_TRUE(finish(*run));
    EXPECT_EQ(run->finalOutput, "first line\nsecond line\n");
    EXPECT_EQ(run->events, (std::vector<std::string>{"end"}));
}

TEST_F(MyProcessTest, HandlerModeHandsOverEachChunkAlone) {
    const std::string go = folder / "go";
    const std::string tool =
        writeTool(folder, "tool", printfBytes("first li") + awaitFile(go) + printfBytes("ne\nsecond line\n"));
    auto run = startRun(log, tool, folder.path(), Mode::Handler, std::nullopt, std::nullopt,
                        [&](MyProcess&) { folder.writeFile("go", ""); });
    ASSERT_TRUE(finish(*run));
    EXPECT_EQ(run->chunks, (Chunks{"first li", "ne\nsecond line\n"}));
    EXPECT_EQ(run->events, (std::vector<std::string>{"output", "output", "end"}));
}

TEST_F(MyProcessTest, Utf8CharactersSplitBetweenReadsArriveWholeAndNoByteIsLost) {
    struct Case {
        std::string name;
        std::string first;  // written, then the tool waits until the test has seen it
        std::string second; // written after that
        Chunks handed;      // output handler calls
    };
    const std::vector<Case> cases = {
        {"two-byte character after one byte", "a\xC3", "\xA9z", {"a", "\xC3\xA9z"}},
        {"three-byte character after one byte", "a\xE2", "\x82\xACz", {"a", "\xE2\x82\xACz"}},
        {"three-byte character after two bytes", "a\xE2\x82", "\xACz", {"a", "\xE2\x82\xACz"}},
        {"four-byte character after one byte", "a\xF0", "\x9F\x98\x80z", {"a", "\xF0\x9F\x98\x80z"}},
        {"four-byte character after three bytes", "a\xF0\x9F\x98", "\x80z", {"a", "\xF0\x9F\x98\x80z"}},
        {"complete character at the end", "a\xC3\xA9", "z", {"a\xC3\xA9", "z"}},
        {"lead byte followed by ASCII", "a\xC3", "(z", {"a", "\xC3(z"}},
        {"byte that is never UTF-8", "a\xFF", "z", {"a\xFF", "z"}},
        {"overlong lead byte", "a\xC0", "z", {"a\xC0", "z"}},
        {"lone continuation byte", "a\x80", "z", {"a\x80", "z"}},
        {"overlong three-byte start", "a\xE0\x80", "z", {"a\xE0\x80", "z"}},
        {"surrogate start", "a\xED\xA0", "z", {"a\xED\xA0", "z"}},
        {"character cut by the end of the output", "abc\xE2\x82", "", {"abc", "\xE2\x82"}},
    };
    // All cases run at the same time, in both modes.
    struct Started {
        const Case* c;
        Mode mode;
        std::string go;
        std::unique_ptr<ToolRun> run;
    };
    std::vector<Started> started;
    for (const Case& c : cases) {
        for (const Mode mode : {Mode::Handler, Mode::Collecting}) {
            const std::string name = "case" + std::to_string(started.size());
            const std::string go = folder / (name + ".go");
            const std::string tool =
                writeTool(folder, name, printfBytes(c.first) + awaitFile(go) + printfBytes(c.second));
            std::function<void(MyProcess&)> onChunk;
            if (mode == Mode::Handler) {
                onChunk = [go](MyProcess&) { std::fclose(std::fopen(go.c_str(), "w")); };
            }
            auto run = startRun(log, tool, folder.path(), mode, std::nullopt, std::nullopt, onChunk);
            started.push_back({&c, mode, go, std::move(run)});
        }
    }
    ASSERT_TRUE(waitUntil([&] {
        bool allDone = true;
        for (Started& s : started) {
            if (!s.run->done() && s.mode == Mode::Collecting && !s.run->runner->outputString().empty()) {
                std::fclose(std::fopen(s.go.c_str(), "w"));
            }
            allDone = allDone && s.run->done();
        }
        return allDone;
    }));
    for (const Started& s : started) {
        SCOPED_TRACE(s.c->name + (s.mode == Mode::Handler ? " (handler mode)" : " (collecting mode)"));
        EXPECT_EQ(s.run->terminateCalls, 1);
        if (s.mode == Mode::Handler) {
            EXPECT_EQ(s.run->chunks, s.c->handed);
        } else {
            EXPECT_EQ(s.run->finalOutput, s.c->first + s.c->second);
        }
        if (isValidUtf8(s.c->first + s.c->second)) {
            for (const std::string& chunk : s.run->chunks) {
                EXPECT_TRUE(isValidUtf8(chunk)) << "chunk of " << chunk.size() << " bytes";
            }
        }
    }
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(MyProcessTest, LargeOutputArrivesCompleteBeforeTheEnd) {
    constexpr std::size_t size = 5000000;
    const std::string tool =
        writeTool(folder, "big", "head -c " + std::to_string(size) + " /dev/zero | tr '\\0' 'a'\n");
    for (const Mode mode : {Mode::Collecting, Mode::Handler}) {
        SCOPED_TRACE(mode == Mode::Handler ? "handler mode" : "collecting mode");
        std::size_t handed = 0;
        bool onlyA = true;
        auto run =
            startRun(log, tool, folder.path(), mode, std::nullopt, std::nullopt, [&](MyProcess& runner) {
                handed += runner.outputString().size();
                onlyA = onlyA && runner.outputString().find_first_not_of('a') == std::string::npos;
            });
        ASSERT_TRUE(finish(*run));
        ASSERT_EQ(run->events.back(), "end");
        if (mode == Mode::Collecting) {
            EXPECT_EQ(run->finalOutput.size(), size);
            EXPECT_EQ(run->finalOutput.find_first_not_of('a'), std::string::npos);
        } else {
            EXPECT_EQ(handed, size);
            EXPECT_TRUE(onlyA);
            EXPECT_GT(run->chunks.size(), 1u);
        }
    }
    EXPECT_TRUE(log.lines.empty());
}

// ---- Standard error, exit status, tools that cannot start ----

TEST_F(MyProcessTest, StandardErrorWritesOneLogLinePerChunkAndNothingElse) {
    const std::string go = folder / "go";
    const std::string tool = writeTool(folder, "tool",
                                       "printf 'out\\n'\nprintf 'oops\\n' >&2\n" + awaitFile(go) +
                                           "printf 'again \\342\\202' >&2\nprintf '\\254\\n' >&2\n");
    auto run = startRun(log, tool, folder.path(), Mode::Collecting);
    ASSERT_TRUE(waitUntil([&] { return run->done() || !log.lines.empty(); }));
    folder.writeFile("go", "");
    ASSERT_TRUE(finish(*run));
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "process error: oops\n");
    // The second part may come in one or two chunks; the euro sign is never cut.
    std::string rest;
    for (std::size_t i = 1; i < log.lines.size(); ++i) {
        ASSERT_EQ(log.lines[i].rfind("process error: ", 0), 0u) << log.lines[i];
        const std::string text = log.lines[i].substr(15);
        EXPECT_TRUE(isValidUtf8(text));
        rest += text;
    }
    EXPECT_EQ(rest, "again \xE2\x82\xAC\n");
    EXPECT_EQ(run->finalOutput, "out\n");
    EXPECT_EQ(run->terminateCalls, 1);
}

TEST_F(MyProcessTest, ExitStatusIsLoggedUnlessZeroAndTheParentIsToldEitherWay) {
    struct Case {
        std::string ending;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"exit 0", {}},
        {"exit 1", {"Error: process returned code 1"}},
        {"exit 3", {"Error: process returned code 3"}},
        {"kill -9 $$", {"Error: process returned code 9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        RecordingLog ownLog;
        const std::string tool = writeTool(folder, "status", "printf 'bye\\n'\n" + c.ending + "\n");
        auto run = startRun(ownLog, tool, folder.path(), Mode::Collecting);
        ASSERT_TRUE(finish(*run));
        EXPECT_EQ(ownLog.lines, c.lines);
        EXPECT_EQ(run->terminateCalls, 1);
        EXPECT_EQ(run->finalOutput, "bye\n");
    }
}

TEST_F(MyProcessTest, ToolThatCannotStartIsLoggedAndReportedOnce) {
    const std::string script = writeTool(folder, "fine", "printf 'ran\\n'\n");
    const std::string plainFile = folder.writeFile("not-executable", "#!/bin/sh\nprintf 'ran\\n'\n");
    const std::string aFolder = folder.makeFolder("a-folder");
    struct Case {
        std::string name;
        std::string tool;
        std::string directory;
        std::string logged; // part of the log line
    };
    const Case cases[] = {
        {"missing executable", folder / "no-such-tool", folder.path(), folder / "no-such-tool"},
        {"file that is not executable", plainFile, folder.path(), plainFile},
        {"folder as executable", aFolder, folder.path(), aFolder},
        {"missing working directory", script, folder / "gone", folder / "gone"},
        {"no executable at all", "", folder.path(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLog ownLog;
        auto run = startRun(ownLog, c.tool, c.directory, Mode::Handler);
        EXPECT_EQ(run->terminateCalls, 0) << "reported before the caller had the runner";
        ASSERT_TRUE(finish(*run));
        EXPECT_EQ(run->terminateCalls, 1);
        EXPECT_TRUE(run->chunks.empty());
        ASSERT_EQ(ownLog.lines.size(), 1u);
        EXPECT_EQ(ownLog.lines[0].rfind("process error: ", 0), 0u) << ownLog.lines[0];
        EXPECT_NE(ownLog.lines[0].find(c.logged), std::string::npos) << ownLog.lines[0];
        EXPECT_TRUE(waitUntil([&] { return run->process.isNull(); }));
    }
}

// ---- Lifetime ----

TEST_F(MyProcessTest, RunnerLivesThroughTheTerminateHandlerAndGoesRightAfter) {
    const std::string tool = writeTool(folder, "tool", "printf 'done\\n'\n");
    auto run = startRun(log, tool, folder.path(), Mode::Collecting);
    EXPECT_EQ(run->runner->launchPath(), tool);
    EXPECT_EQ(run->runner->parent(), run.get());
    ASSERT_TRUE(finish(*run));
    EXPECT_EQ(run->terminateCalls, 1);
    EXPECT_EQ(run->runnerAtEnd, run->runner);
    EXPECT_EQ(run->parentAtEnd, run.get());
    EXPECT_EQ(run->directoryAtEnd, folder.path());
    EXPECT_TRUE(run->toolStoppedAtEnd);
    EXPECT_EQ(run->finalOutput, "done\n");
    // The child-process object goes too, once its own signal has returned.
    EXPECT_TRUE(waitUntil([&] { return run->process.isNull(); }));
}

TEST_F(MyProcessTest, EndWaitsForAnOutputHandlerThatRunsTheEventLoop) {
    const std::string tool = writeTool(folder, "tool", "printf 'one\\n'\n");
    std::unique_ptr<ToolRun> run;
    int terminateCallsDuringHandler = -1;
    std::string outputAfterWait;
    run =
        startRun(log, tool, folder.path(), Mode::Handler, std::nullopt, std::nullopt, [&](MyProcess& runner) {
            if (terminateCallsDuringHandler >= 0) {
                return;
            }
            // Let the tool's end arrive while this handler still runs.
            waitUntil([&] { return runner.process()->state() == QProcess::NotRunning; }, 5000ms);
            waitUntil([] { return false; }, 200ms);
            terminateCallsDuringHandler = run->terminateCalls;
            outputAfterWait = runner.outputString(); // the runner is still there
        });
    ASSERT_TRUE(finish(*run));
    EXPECT_EQ(terminateCallsDuringHandler, 0);
    EXPECT_EQ(outputAfterWait, "one\n");
    EXPECT_EQ(run->events, (std::vector<std::string>{"output", "end"}));
    EXPECT_EQ(run->terminateCalls, 1);
}

TEST_F(MyProcessTest, GivingUpARunningToolStopsIt) {
    enum class How { SetProcess, DeleteRunner };
    struct Case {
        std::string name;
        How how;
        std::string onTerm; // the tool's answer to terminate
        std::string marker; // what the tool leaves behind
    };
    const std::string marker = folder / "stopped";
    const Case cases[] = {
        {"new process stored", How::SetProcess, "echo stopped > '" + marker + "'; exit 0", "stopped\n"},
        {"runner deleted", How::DeleteRunner, "echo stopped > '" + marker + "'; exit 0", "stopped\n"},
        {"runner deleted, tool ignores terminate", How::DeleteRunner, "", "<missing>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(marker.c_str());
        const std::string tool = writeTool(folder, "endless",
                                           "trap \"" + c.onTerm +
                                               "\" TERM\necho started\n"
                                               "while :; do sleep 0.05; done\n");
        auto run = startRun(log, tool, folder.path(), Mode::Collecting);
        ASSERT_TRUE(waitUntil([&] { return run->runner->outputString() == "started\n"; }));
        QPointer<QProcess> old = run->runner->process();
        const auto pid = static_cast<pid_t>(old->processId());
        if (c.how == How::SetProcess) {
            auto replacement = std::make_unique<QProcess>();
            QPointer<QProcess> replaced = replacement.get();
            run->runner->setProcess(std::move(replacement));
            EXPECT_EQ(run->runner->process(), replaced.data());
            // The runner hears of the old tool's end and reports it, then goes with the new process.
            ASSERT_TRUE(finish(*run));
            EXPECT_EQ(run->terminateCalls, 1);
            EXPECT_EQ(run->finalOutput, "started\n");
            EXPECT_TRUE(waitUntil([&] { return replaced.isNull(); }));
        } else {
            delete run->runner;
            EXPECT_TRUE(run->done());
        }
        EXPECT_TRUE(waitUntil([&] { return old.isNull(); }));
        EXPECT_NE(::kill(pid, 0), 0) << "the tool still runs";
        EXPECT_EQ(readFile(marker), c.marker);
        if (c.how == How::DeleteRunner) {
            EXPECT_EQ(run->terminateCalls, 0);
        }
    }
    EXPECT_TRUE(log.lines.empty());
}

// The program killed outright (a crash, SIGKILL) takes its tools with it: an orphaned tool would go on
// writing, with nobody to remove what it writes.
TEST(ProgramKilled, ItsToolDiesWithIt) {
    const auto alive = [](pid_t pid) { // a zombie, waiting for a parent to reap it, has ended
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        return std::getline(stat, line) && line.substr(line.rfind(')') + 2, 1) != "Z";
    };
    QProcess program;
    program.start(QStringLiteral(QUORVANE_PROCESS_PARENT), {"/bin/sleep", "600"});
    ASSERT_TRUE(program.waitForReadyRead(20000));
    const auto tool = static_cast<pid_t>(std::stoll(program.readLine().toStdString()));
    ASSERT_TRUE(alive(tool));
    ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
    program.waitForFinished();
    EXPECT_TRUE(waitUntil([&] { return !alive(tool); })) << "the tool outlived its program";
    ::kill(tool, SIGKILL);
}

} // namespace
} // namespace quorvane::test
