#pragma once

#include <string>
#include <vector>

namespace quorvane::bench {

// One finished child process: how long it ran, its peak resident memory and what it printed.
struct ChildResult {
    double seconds = 0.0;   // from just before the fork to the reaping
    long peakKilobytes = 0; // ru_maxrss of the child (and of the children it waited for)
    int status = -1;        // the exit status, or -1 when it did not exit normally
    std::string output;     // its standard output, when asked for
    double startedAt = 0.0; // CLOCK_MONOTONIC seconds just before the fork
};

// Runs the program with the arguments in the folder (empty: the current one) and waits for it.
// Standard error goes to ours; standard output is captured or discarded.
ChildResult runChild(const std::vector<std::string>& argv, const std::string& folder = "",
                     bool captureOutput = false);

// Runs the command and stops the bench with its message when it fails.
void runOrDie(const std::vector<std::string>& argv, const std::string& folder = "");

double monotonicSeconds();

} // namespace quorvane::bench
