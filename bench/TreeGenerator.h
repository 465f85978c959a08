#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::bench {

// What one generated scenario holds: a valid installation and an add-on tree wrapped in a folder.
struct GeneratedScenario {
    std::string installation;              // the pristine installation, copied afresh for every run
    std::string wrapper;                   // the add-on's wrapper folder (holds "Art", "Text" and "Music")
    std::vector<std::string> changedFiles; // paths relative to the installation, replaced by the update
    std::size_t files = 0;
    std::size_t newFiles = 0;
    std::size_t identicalFiles = 0;
    std::uint64_t updateBytes = 0;
};

// Builds, from a fixed seed, an installation and an update for it: 40 % of the update's files are new,
// 30 % are already installed unchanged and 30 % replace an installed file with other contents (most of
// them of another size, a fifth of the same size and differing in one byte). Sizes follow a log-normal
// spread from a few bytes to a few hundred kilobytes, about 10 KB on average. A scenario already built
// with the same figures in the folder is reused.
GeneratedScenario generateScenario(const std::string& folder, std::size_t fileCount, std::uint64_t seed);

// A valid installation at the path: the program file "Quorvane", "Art", "Text/version.txt" saying 1.29.
void makeInstallation(const std::string& path);

} // namespace quorvane::bench
