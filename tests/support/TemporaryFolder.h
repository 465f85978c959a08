#pragma once

#include <string>

namespace quorvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it (read-only parts
// included) when the object goes.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return _path; }
    // path() joined with a relative path.
    std::string operator/(const std::string& relative) const;

    // Writes a file (and any missing parent folders) with the given contents.
    std::string writeFile(const std::string& relative, const std::string& contents) const;
    std::string makeFolder(const std::string& relative) const;
    // A valid installation at relative: "Quorvane" application file, "Art", "Text" and a version file.
    std::string makeInstallation(const std::string& relative, const std::string& version = "1.29") const;

private:
    std::string _path;
};

// The file's contents, or "<missing>" when it cannot be read.
std::string readFile(const std::string& path);
bool exists(const std::string& path);
bool isFolder(const std::string& path);
// Every descendant's relative path, sorted.
std::string treeListing(const std::string& folder);

} // namespace quorvane::test
