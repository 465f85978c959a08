#include "ChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace quorvane::bench {

double monotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

ChildResult runChild(const std::vector<std::string>& argv, const std::string& folder, bool captureOutput) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ChildResult result;
    result.startedAt = monotonicSeconds();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        if (captureOutput) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
        } else {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
        }
        ::execvp(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    if (captureOutput) {
        ::close(pipeFds[1]);
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            result.output.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds = monotonicSeconds() - result.startedAt;
    result.peakKilobytes = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void runOrDie(const std::vector<std::string>& argv, const std::string& folder) {
    const ChildResult result = runChild(argv, folder);
    if (result.status != 0) {
        std::string command;
        for (const std::string& arg : argv) {
            command += arg + " ";
        }
        throw std::runtime_error("command failed: " + command);
    }
}

} // namespace quorvane::bench
