#include "process/ToolProcess.h"

#include "support/EventLoopWait.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <QPointer>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <signal.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Chunks = std::vector<std::string>;
using namespace std::chrono_literals;

// What one runner handed to its owner.
struct ToolRun {
    QPointer<QProcess> process;
    Chunks events; // each onOutput call's output(), then "end"
    std::string finalOutput;
    std::weak_ptr<void> handlers; // expires when the runner has let its handlers go, that is when it goes

    bool done() const { return waitUntil([&] { return handlers.expired(); }); }
};

class ToolProcessTest : public testing::Test {
protected:
    // A shell script standing in for a tool.
    std::string writeTool(const std::string& body) const {
        const std::string path = folder.writeFile("tool", "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return path;
    }
    // Waits (ten seconds at most) until the test makes the file, having seen what came before.
    std::string awaitGo() const {
        std::remove((folder / "go").c_str());
        return "i=0; while [ ! -e '" + folder / "go" +
               "' ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n";
    }
    // With onChunk each chunk of output is handed over as it comes; without, the output is collected.
    std::unique_ptr<ToolRun> startRun(const std::string& tool, const std::string& directory,
                                      std::function<void(ToolProcess&)> onChunk = {},
                                      std::vector<std::string> arguments = {}) {
        auto run = std::make_unique<ToolRun>();
        auto token = std::make_shared<int>(0);
        run->handlers = token;
        ToolRequest request{tool, directory, std::move(arguments)};
        if (onChunk) {
            request.onOutput = [r = run.get(), token, onChunk](ToolProcess& runner) {
                r->events.push_back(runner.output());
                onChunk(runner);
            };
        }
        request.onFinished = [r = run.get(), token](ToolProcess& runner) {
            r->events.push_back("end");
            r->finalOutput = runner.output();
        };
        run->process = ToolProcess::start(std::move(request), log)->process();
        return run;
    }

    TemporaryFolder folder;
    RecordingLog log;
};

// Arguments go to the tool as they are, never through a shell; it runs in the given folder with the
// program's environment, output unbuffered; its end reaches the owner once, and the tool's process object
// goes after it.
TEST_F(ToolProcessTest, ToolGetsItsArgumentsFolderAndEnvironmentAsGiven) {
    folder.writeFile("caf\xE9/x/Quorvane", "something for a shell to expand */Quorvane to");
    const std::string directory = std::filesystem::canonical(folder / "caf\xE9");
    const std::vector<std::string> arguments{"-xvf", "/a b/$HOME/caf\xE9 \"x\".zip", "*/Quorvane", ""};
    ::setenv("NSUnbufferedIO", "NO", 1);
    auto run = startRun(writeTool("printf '%s\\n' \"$#\" \"$@\" \"$(pwd -P)\" "
                                  "\"$(env | grep -c ^NSUnbufferedIO=)$NSUnbufferedIO\"\n"),
                        directory, {}, arguments);
    ASSERT_TRUE(run->done());
    ::unsetenv("NSUnbufferedIO");
    EXPECT_EQ(run->finalOutput,
              "4\n-xvf\n/a b/$HOME/caf\xE9 \"x\".zip\n*/Quorvane\n\n" + directory + "\n1YES\n");
    EXPECT_EQ(run->events, Chunks{"end"});
    EXPECT_TRUE(waitUntil([&] { return run->process.isNull(); })) << "the child-process object goes too";
    EXPECT_TRUE(log.lines.empty());
}

// Each chunk is handed over alone, never with a UTF-8 character split between two of them.
TEST_F(ToolProcessTest, EachChunkIsHandedOverAloneWithNoUtf8CharacterSplit) {
    // Written, then once seen by the test written; the first chunk. The last is cut by the output's end.
    // clang-format off
    const std::string cases[][3] = {
        {"first li", "ne\n", "first li"}, {"a\xC3", "\xA9z", "a"},           {"a\xE2", "\x82\xACz", "a"},
        {"a\xE2\x82", "\xACz", "a"},       {"a\xF0", "\x9F\x98\x80z", "a"},   {"a\xF0\x9F\x98", "\x80z", "a"},
        {"a\xC3\xA9", "z", "a\xC3\xA9"},   {"a\xC3", "(z", "a"},             {"a\xFF", "z", "a\xFF"},
        {"a\xC0", "z", "a\xC0"},           {"a\x80", "z", "a\x80"},           {"a\xE0\x80", "z", "a\xE0\x80"},
        {"a\xED\xA0", "z", "a\xED\xA0"},   {"abc\xE2\x82", "", "abc"}};
    // clang-format on
    for (const auto& [first, second, chunk] : cases) {
        SCOPED_TRACE(testing::PrintToString(first + second));
        folder.writeFile("first", first), folder.writeFile("second", second);
        const std::string tool = writeTool("cat first\n" + awaitGo() + "cat second\n");
        auto run = startRun(tool, folder.path(), [&](ToolProcess&) { folder.writeFile("go", ""); });
        ASSERT_TRUE(run->done());
        EXPECT_EQ(run->events, (Chunks{chunk, first.substr(chunk.size()) + second, "end"}));
    }
}

// An output handler may run the event loop (a sheet); the tool's end is handled after it returns, and
// what the tool wrote meanwhile arrives whole before the end.
TEST_F(ToolProcessTest, EndWaitsForAnOutputHandlerThatRunsTheEventLoopAndLosesNoOutput) {
    const std::string tool = writeTool("printf 'one\\n'\n" + awaitGo() + "printf 'two\\n'\n");
    std::unique_ptr<ToolRun> run;
    std::size_t endsDuringHandler = 1;
    run = startRun(tool, folder.path(), [&](ToolProcess& runner) {
        if (run->events.size() == 1) {
            folder.writeFile("go", "");
            waitUntil([&] { return runner.process()->state() == QProcess::NotRunning; });
            waitUntil([] { return false; }, 200ms);
            endsDuringHandler = std::count(run->events.begin(), run->events.end(), "end");
        }
    });
    ASSERT_TRUE(run->done());
    EXPECT_EQ(endsDuringHandler, 0u);
    EXPECT_EQ(run->events, (Chunks{"one\n", "two\n", "end"}));
}

// Standard error goes to the log, a line per chunk, and so does a status other than 0; standard output
// is collected apart.
TEST_F(ToolProcessTest, StandardErrorAndExitStatusAreLogged) {
    const std::pair<std::string, Chunks> cases[] = {{"exit 0", {}},
                                                    {"exit 3", {"Error: process returned code 3"}},
                                                    {"kill -9 $$", {"Error: process returned code 9"}}};
    for (const auto& [ending, status] : cases) {
        SCOPED_TRACE(ending);
        log.lines.clear();
        auto run = startRun(writeTool("printf 'ou'\nprintf 'oops\\n' >&2\n" + awaitGo() + "printf 't\\n'\n" +
                                      "printf 'late\\n' >&2\n" + ending + "\n"),
                            folder.path());
        ASSERT_TRUE(waitUntil([&] { return !log.lines.empty(); }));
        folder.writeFile("go", "");
        ASSERT_TRUE(run->done());
        EXPECT_EQ(run->finalOutput, "out\n");
        Chunks lines{"process error: oops\n", "process error: late\n"};
        lines.insert(lines.end(), status.begin(), status.end());
        EXPECT_EQ(log.lines, lines);
    }
}

TEST_F(ToolProcessTest, ToolThatCannotStartIsLoggedAndReportedOnce) {
    const std::string plainFile = folder.writeFile("not-executable", "#!/bin/sh\n");
    // The tool and its folder; the log names the one at fault.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {folder / "no-such-tool", folder.path()}, {plainFile, folder.path()},
        {folder.makeFolder("a"), folder.path()}, {writeTool(""), folder / "gone"}, {"", folder.path()}};
    // clang-format on
    for (const auto& [tool, directory] : cases) {
        SCOPED_TRACE(tool + " in " + directory);
        log.lines.clear();
        auto run = startRun(tool, directory);
        EXPECT_TRUE(run->events.empty()) << "reported before the caller had the runner";
        ASSERT_TRUE(run->done());
        EXPECT_EQ(run->events, Chunks{"end"});
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0].rfind("process error: ", 0), 0u) << log.lines[0];
        EXPECT_NE(log.lines[0].find(directory == folder.path() ? tool : directory), std::string::npos);
    }
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
    if (!waitUntil([&] { return !alive(tool); })) {
        ADD_FAILURE() << "the tool outlived its program";
        ::kill(tool, SIGKILL);
    }
}

} // namespace
} // namespace quorvane::test
