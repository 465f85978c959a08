#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// The table of contents at the end of a zip archive: what each entry is called, how large it is once
// extracted, its CRC-32 and its compression method. It is read with every length and offset checked against
// the archive's size, so that any bytes at all give either a directory or none.
class ZipCentralDirectory {
public:
    struct Entry {
        std::string name; // as stored: the archive's bytes
        std::uint64_t size = 0;
        std::uint32_t crc32 = 0;
        bool folder = false;
        // How the entry is compressed: 0 stored, 8 deflated, others as the zip format numbers them.
        std::uint16_t method = 0;
    };
    // At most length bytes of the archive from offset on; fewer at its end.
    using ReadAt = std::function<std::string(std::uint64_t offset, std::size_t length)>;
    // More entries than this are no archive the program takes.
    static constexpr std::uint64_t maxEntries = 1'000'000;

    // None for bytes that are no readable archive.
    static std::optional<ZipCentralDirectory> read(std::uint64_t archiveSize, const ReadAt& readAt);
    static std::optional<ZipCentralDirectory> readFile(const std::string& path, std::uint64_t archiveSize);

    const std::vector<Entry>& entries() const { return _entries; }
    // The size of all entries once extracted (no more than the largest 64-bit number).
    std::uint64_t totalSize() const;

private:
    std::vector<Entry> _entries;
};

} // namespace quorvane
