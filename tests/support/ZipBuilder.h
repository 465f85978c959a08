#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::test {

// Writes small, stored (uncompressed) zip archives, well-formed or crafted, for the archive tests.
class ZipBuilder {
public:
    // A file entry; a name ending in "/" is a folder entry.
    ZipBuilder& add(const std::string& name, const std::string& contents = "");
    // Marks entry names as UTF-8 (general purpose flag bit 11), as jar and most tools write them.
    ZipBuilder& utf8Names(bool on = true);
    // The central directory gives the last entry this extracted size (in a ZIP64 extra field).
    ZipBuilder& declareSize(std::uint64_t size);
    std::string bytes() const;
    // Writes the archive and answers its path.
    std::string writeTo(const std::string& path) const;

private:
    struct Entry {
        std::string name;
        std::string contents;
        std::optional<std::uint64_t> declaredSize;
    };
    std::vector<Entry> _entries;
    bool _utf8Names = true;
};

// One local file header with the given field values, followed by name, extra field and data of those
// lengths (filled with zeros), for walking archives byte by byte.
std::string localHeader(std::uint32_t compressedSize, std::uint16_t nameLength, std::uint16_t extraLength);

} // namespace quorvane::test
