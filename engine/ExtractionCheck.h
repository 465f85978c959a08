#pragma once

#include "engine/ZipCentralDirectory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

class FileManager;
class Localizer;

// Compares what the extraction tool wrote into its folder with the archive's central directory: every
// file there with its recorded size and CRC-32, every folder, and nothing the directory does not list.
class ExtractionCheck {
public:
    enum class Problem { none, missing, damaged, unlisted };
    struct Result {
        Problem problem = Problem::none;
        std::string name; // the item concerned, relative to the folder
    };

    static Result check(FileManager& fileManager, const std::string& folder,
                        const ZipCentralDirectory& directory);
    // The file at path holds what the entry records: its size and CRC-32. A link, pipe or folder does not.
    static bool fileMatches(const FileManager& fileManager, const std::string& path,
                            const ZipCentralDirectory::Entry& entry);
    // The files the tool writes: each extracted path once, folder entries and entries that land on the
    // folder itself left out.
    static std::int32_t fileCount(const ZipCentralDirectory& directory);
    // Where the tool puts an entry, relative to its folder: jar drops everything up to the last "../" and
    // any leading "/", and the file system ignores empty and "." components. Empty for an entry that
    // lands on the folder itself.
    static std::string extractedPath(std::string_view entryName);
    // Why the tool cannot extract the archive, said before it is started: an entry compressed otherwise
    // than stored or deflated (7-Zip's bzip2, LZMA, Deflate64, ...). None when every entry can be.
    static std::optional<std::string> methodRefusal(const ZipCentralDirectory& directory,
                                                    const Localizer& localizer);
};

} // namespace quorvane
