#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace quorvane::test {

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    _path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code error;
    // Grant write and search everywhere first, so that read-only folders made by a test go too.
    for (auto it = fs::recursive_directory_iterator(_path, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    ::chmod(_path.c_str(), 0700);
    fs::remove_all(_path, error);
}

std::string TemporaryFolder::operator/(const std::string& relative) const { return _path + "/" + relative; }

std::string TemporaryFolder::writeFile(const std::string& relative, const std::string& contents) const {
    const fs::path file = fs::path(_path) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << contents;
    return file.string();
}

std::string TemporaryFolder::makeFolder(const std::string& relative) const {
    const fs::path folder = fs::path(_path) / relative;
    fs::create_directories(folder);
    return folder.string();
}

std::string TemporaryFolder::makeInstallation(const std::string& relative, const std::string& version) const {
    writeFile(relative + "/Quorvane", "game");
    makeFolder(relative + "/Art");
    writeFile(relative + "/Text/version.txt", version);
    return (fs::path(_path) / relative).string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string treeListing(const std::string& folder) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        std::string entry = fs::relative(it->path(), folder).string();
        if (it->is_directory(error) && !it->is_symlink(error)) {
            entry += "/";
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    std::string listing;
    for (const auto& entry : entries) {
        listing += entry + "\n";
    }
    return listing;
}

} // namespace quorvane::test
