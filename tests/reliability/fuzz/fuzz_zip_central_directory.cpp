// The central-directory reader over any bytes: it must end, read nothing outside the archive, and give
// either none or entries that fit in it; the names it gives map to paths inside the extraction folder.
#include "engine/ExtractionCheck.h"
#include "engine/ZipCentralDirectory.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string archive(reinterpret_cast<const char*>(data), size);
    const auto readAt = [&](std::uint64_t offset, std::size_t length) {
        if (offset > archive.size()) {
            std::abort(); // a read outside the archive
        }
        return archive.substr(static_cast<std::size_t>(offset), length);
    };
    const auto directory = quorvane::ZipCentralDirectory::read(archive.size(), readAt);
    if (!directory) {
        return 0;
    }
    if (directory->entries().size() > quorvane::ZipCentralDirectory::maxEntries ||
        directory->entries().size() * 46 > size) {
        std::abort();
    }
    for (const auto& entry : directory->entries()) {
        const std::string path = quorvane::ExtractionCheck::extractedPath(entry.name);
        if (path.starts_with('/') || path.find("../") != std::string::npos || path.ends_with('/')) {
            std::abort();
        }
    }
    directory->totalSize();
    return 0;
}
