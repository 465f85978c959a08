// A program that starts one tool through ToolProcess, prints the tool's process id and waits for good:
//   quorvane-test-process-parent TOOL ARGUMENT
// The process tests kill it and look whether the tool went with it.
#include "process/ToolProcess.h"
#include "support/RecordingLog.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    quorvane::test::RecordingLog log;
    const quorvane::ToolProcess* runner = quorvane::ToolProcess::start({argv[1], "/", {argv[2]}}, log);
    std::printf("%lld\n", static_cast<long long>(runner->process()->processId()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
