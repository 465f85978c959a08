#include "TreeComparison.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace quorvane::bench {
namespace {

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> namesIn(const fs::path& folder, const std::vector<std::string>& ignored) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(ignored.begin(), ignored.end(), name) == ignored.end()) {
            names.insert(name);
        }
    }
    return names;
}

std::string compare(const fs::path& a, const fs::path& b, const std::vector<std::string>& ignored) {
    const fs::file_status sa = fs::symlink_status(a);
    const fs::file_status sb = fs::symlink_status(b);
    if (sa.type() != sb.type()) {
        return "kind differs: " + a.string();
    }
    if (fs::is_symlink(sa)) {
        return fs::read_symlink(a) == fs::read_symlink(b) ? "" : "link differs: " + a.string();
    }
    if (fs::is_regular_file(sa)) {
        if (fs::file_size(a) != fs::file_size(b) || contentsOf(a) != contentsOf(b)) {
            return "contents differ: " + a.string() + " and " + b.string();
        }
        return "";
    }
    if (!fs::is_directory(sa)) {
        return "";
    }
    const std::set<std::string> namesA = namesIn(a, ignored);
    const std::set<std::string> namesB = namesIn(b, ignored);
    if (namesA != namesB) {
        std::vector<std::string> onlyOne;
        std::set_symmetric_difference(namesA.begin(), namesA.end(), namesB.begin(), namesB.end(),
                                      std::back_inserter(onlyOne));
        return "entries differ in " + a.string() + ": " + onlyOne.front();
    }
    for (const std::string& name : namesA) {
        if (std::string fault = compare(a / name, b / name, {}); !fault.empty()) {
            return fault;
        }
    }
    return "";
}

} // namespace

std::string firstDifference(const std::string& tree1, const std::string& tree2,
                            const std::vector<std::string>& ignored) {
    return compare(tree1, tree2, ignored);
}

std::string backupFault(const std::string& installation, const std::string& pristine,
                        const std::vector<std::string>& replaced) {
    const fs::path root = fs::path(installation) / "BackupFiles";
    if (!fs::is_directory(root)) {
        return replaced.empty() ? "" : "no BackupFiles folder";
    }
    std::vector<fs::path> runs;
    for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
        runs.push_back(entry.path());
    }
    if (runs.size() != 1) {
        return "BackupFiles holds " + std::to_string(runs.size()) + " entries, not one run's folder";
    }
    std::set<std::string> kept;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(runs.front())) {
        if (!entry.is_directory()) {
            kept.insert(fs::relative(entry.path(), runs.front()).string());
        }
    }
    const std::set<std::string> expected(replaced.begin(), replaced.end());
    if (kept != expected) {
        return "the backup holds " + std::to_string(kept.size()) + " files, " +
               std::to_string(expected.size()) + " were replaced";
    }
    for (const std::string& relative : expected) {
        if (contentsOf(runs.front() / relative) != contentsOf(fs::path(pristine) / relative)) {
            return "old contents not kept: " + relative;
        }
    }
    return "";
}

} // namespace quorvane::bench
