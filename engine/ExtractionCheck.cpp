#include "engine/ExtractionCheck.h"

#include "engine/ZipCentralDirectory.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>
#include <zlib.h>

namespace quorvane {
namespace {

constexpr std::size_t kReadSize = 1 << 20;

// The compression method's usual name; its number for one without.
std::string methodName(std::uint16_t method) {
    static constexpr std::pair<std::uint16_t, const char*> kNames[] = {
        {1, "Shrink"},     {6, "Implode"}, {9, "Deflate64"}, {12, "bzip2"},          {14, "LZMA"},
        {93, "Zstandard"}, {95, "XZ"},     {98, "PPMd"},     {99, "AES encryption"},
    };
    for (const auto& [number, name] : kNames) {
        if (number == method) {
            return name;
        }
    }
    return "method " + std::to_string(method);
}

// What the folder must hold once the tool is done, by extracted path: a later entry of the same name wins.
struct Expected {
    std::map<std::string, const ZipCentralDirectory::Entry*> files;
    std::set<std::string> folders;
};

Expected expectedItems(const ZipCentralDirectory& directory) {
    Expected expected;
    for (const ZipCentralDirectory::Entry& entry : directory.entries()) {
        const std::string path = ExtractionCheck::extractedPath(entry.name);
        if (path.empty()) {
            continue;
        }
        if (entry.folder) {
            expected.files.erase(path);
            expected.folders.insert(path);
        } else {
            expected.folders.erase(path);
            expected.files[path] = &entry;
        }
    }
    return expected;
}

} // namespace

std::int32_t ExtractionCheck::fileCount(const ZipCentralDirectory& directory) {
    return static_cast<std::int32_t>(expectedItems(directory).files.size());
}

bool ExtractionCheck::fileMatches(const FileManager& fileManager, const std::string& path,
                                  const ZipCentralDirectory::Entry& entry) {
    const auto handle = fileManager.isSymbolicLink(path) ? nullptr : FileHandle::openForReading(path);
    if (!handle) {
        return false;
    }
    std::uint64_t size = 0;
    uLong crc = ::crc32(0L, Z_NULL, 0);
    // Reads at most one byte more than recorded (enough to tell a longer file), in blocks no larger
    // than the file needs: most entries are small.
    const auto nextRead = [&] {
        return static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, entry.size - size + 1));
    };
    for (std::string chunk; size <= entry.size && !(chunk = handle->read(nextRead())).empty();) {
        size += chunk.size();
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size()));
    }
    return size == entry.size && crc == entry.crc32;
}

std::string ExtractionCheck::extractedPath(std::string_view entryName) {
    if (const std::size_t up = entryName.rfind("../"); up != std::string_view::npos) {
        entryName.remove_prefix(up + 3);
    }
    std::string path;
    for (std::size_t start = 0; start <= entryName.size();) {
        const std::size_t end = std::min(entryName.find('/', start), entryName.size());
        const std::string_view component = entryName.substr(start, end - start);
        if (!component.empty() && component != ".") {
            path += (path.empty() ? "" : "/") + std::string(component);
        }
        start = end + 1;
    }
    return path;
}

ExtractionCheck::Result ExtractionCheck::check(FileManager& fileManager, const std::string& folder,
                                               const ZipCentralDirectory& directory) {
    const auto [files, folders] = expectedItems(directory);
    // The folders the tool makes: those listed, and every folder above a listed item.
    std::set<std::string> allFolders = folders;
    const auto addParents = [&](const std::string& path) {
        for (std::string parent = path::parent(path); !parent.empty(); parent = path::parent(parent)) {
            allFolders.insert(parent);
        }
    };
    std::for_each(folders.begin(), folders.end(), addParents);
    for (const auto& file : files) {
        addParents(file.first);
    }

    for (const auto& [path, entry] : files) {
        const std::string full = path::join(folder, path);
        if (!fileManager.entryExists(full)) {
            return {Problem::missing, path};
        }
        if (!fileMatches(fileManager, full, *entry)) {
            return {Problem::damaged, path};
        }
    }
    // Nothing else: no item the directory does not list, no link, no special file.
    std::vector<std::string> toList{""};
    while (!toList.empty()) {
        const std::string relative = std::move(toList.back());
        toList.pop_back();
        const auto names = fileManager.folderContents(path::join(folder, relative));
        if (!names) {
            return {Problem::missing, relative};
        }
        for (const std::string& name : *names) {
            const std::string path = path::join(relative, name);
            const std::string full = path::join(folder, path);
            bool isDirectory = false;
            if (fileManager.isSymbolicLink(full) || !fileManager.exists(full, &isDirectory)) {
                return {Problem::unlisted, path};
            }
            if (isDirectory ? allFolders.erase(path) == 0 : !files.contains(path)) {
                return {Problem::unlisted, path};
            }
            if (isDirectory) {
                toList.push_back(path);
            }
        }
    }
    if (!allFolders.empty()) {
        return {Problem::missing, *allFolders.begin()};
    }
    return {};
}

std::optional<std::string> ExtractionCheck::methodRefusal(const ZipCentralDirectory& directory,
                                                          const Localizer& localizer) {
    const auto& entries = directory.entries();
    const auto other =
        std::find_if(entries.begin(), entries.end(), [](const ZipCentralDirectory::Entry& entry) {
            return entry.method != 0 && entry.method != 8;
        });
    if (other == entries.end()) {
        return std::nullopt;
    }
    return formatMessage(
        localizer.text(
            "It is compressed with %@, which cannot be extracted here: pack it again as a standard zip."),
        {methodName(other->method)});
}

} // namespace quorvane
