#pragma once

#include <string>
#include <vector>

namespace quorvane::bench {

// The program's window driven as a user drives it, inside a child process of the bench. Each prints
// its findings as key=value lines on standard output and answers the process's exit status.

// Shows the window over preferences that list the installation, drags the item onto its row, presses
// "OK" on the confirmation and waits for the completion report; prints the time from "OK" to the
// report ("seconds") and the report ("title", "report").
int driveUpdateRun(const std::string& installation, const std::string& item,
                   const std::string& preferencesPath, const std::string& jarPath);

// Starts the program over the prepared preferences and waits until its window is exposed; prints when
// ("shownAt", CLOCK_MONOTONIC seconds), the time from before constructing the program to then
// ("constructToShown") and from the process's first line to then ("mainToShown"); then drags the item
// over the first row many times and prints the median time of one drag move ("dragMove") and of one
// judgeDrag call ("judgeDrag").
int driveStartup(const std::string& preferencesPath, const std::string& draggedItem, double mainAt);

} // namespace quorvane::bench
