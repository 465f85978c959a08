#pragma once

#include <string>
#include <vector>

namespace quorvane::bench {

// The first difference between two trees (names, kinds, file contents, link targets), or empty when
// they are the same. Top-level entries named in `ignored` are left out on both sides.
std::string firstDifference(const std::string& tree1, const std::string& tree2,
                            const std::vector<std::string>& ignored);

// Checks the run's backup folder inside the installation: "BackupFiles" holds one folder, and the plain
// files in it are exactly the replaced ones, each with its contents from the pristine installation.
// Answers the first fault, or empty.
std::string backupFault(const std::string& installation, const std::string& pristine,
                        const std::vector<std::string>& replaced);

} // namespace quorvane::bench
