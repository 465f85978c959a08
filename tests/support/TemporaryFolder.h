#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it (read-only parts
// included) when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder() : _path(std::filesystem::temp_directory_path() / "quorvane-test-XXXXXX") {
        if (::mkdtemp(_path.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
    }
    ~TemporaryFolder() {
        namespace fs = std::filesystem;
        std::error_code error;
        // Grant write and search everywhere first, so that read-only folders made by a test go too.
        ::chmod(_path.c_str(), 0700);
        for (auto it = fs::recursive_directory_iterator(_path, fs::directory_options::skip_permission_denied,
                                                        error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error)) {
                ::chmod(it->path().c_str(), 0700);
            }
        }
        fs::remove_all(_path, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return _path; }
    // path() joined with a relative path.
    std::string operator/(const std::string& relative) const { return _path + "/" + relative; }

    // Writes a file (and any missing parent folders) with the given contents.
    std::string writeFile(const std::string& relative, const std::string& contents) const {
        const std::string file = *this / relative;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
        return file;
    }
    std::string makeFolder(const std::string& relative) const {
        return std::filesystem::create_directories(*this / relative), *this / relative;
    }
    // A valid installation at relative: "Quorvane" application file, "Art", "Text" and a version file.
    std::string makeInstallation(const std::string& relative, const std::string& version = "1.29") const {
        writeFile(relative + "/Quorvane", "game");
        makeFolder(relative + "/Art");
        writeFile(relative + "/Text/version.txt", version);
        return *this / relative;
    }

private:
    std::string _path;
};

// The file's contents, or "<missing>" when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}
inline bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}
// Every descendant's relative path but those under the skipped ones, sorted, one a line; folders end in "/".
inline std::string treeListing(const std::string& folder, const std::vector<std::string>& skipped = {}) {
    namespace fs = std::filesystem;
    std::set<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const bool isFolder = it->is_directory(error) && !it->is_symlink(error);
        entries.insert(fs::relative(it->path(), folder).string() + (isFolder ? "/" : ""));
    }
    std::string listing;
    for (const auto& entry : entries) {
        listing += std::ranges::any_of(skipped, [&](auto& skip) { return entry.starts_with(skip); })
                       ? ""
                       : entry + "\n";
    }
    return listing;
}

} // namespace quorvane::test
