#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>
#include <zlib.h>

namespace quorvane::test {

// Writes small, stored (uncompressed) zip archives with UTF-8 names, well-formed or crafted.
class ZipBuilder {
public:
    // A file entry; a name ending in "/" is a folder entry.
    ZipBuilder& add(const std::string& name, const std::string& contents = "") {
        return _entries.push_back({name, contents, std::nullopt, std::nullopt, 0}), *this;
    }
    // The central directory gives the last entry this extracted size (in a ZIP64 extra field).
    ZipBuilder& declareSize(std::uint64_t size) { return _entries.back().declaredSize = size, *this; }
    // The last entry is deflated, and both its headers claim this extracted size: a lying archive.
    ZipBuilder& deflateClaiming(std::uint32_t size) { return _entries.back().claimedSize = size, *this; }
    // The last entry's method field says this compression (12 bzip2, 14 LZMA, as 7-Zip writes them); its
    // data stays stored.
    ZipBuilder& compressedWith(std::uint32_t method) { return _entries.back().method = method, *this; }
    std::string bytes() const {
        std::string archive, central;
        for (const Entry& e : _entries) {
            const auto offset = static_cast<std::uint32_t>(archive.size());
            const auto* data = reinterpret_cast<const Bytef*>(e.contents.data());
            const std::string stored = e.claimedSize ? deflated(e.contents) : e.contents;
            const std::uint32_t crc = ::crc32(0, data, e.contents.size()), size = e.contents.size(),
                                nameLength = e.name.size(), listedSize = e.declaredSize ? 0xFFFFFFFFu : size,
                                method = e.claimedSize ? 8 : e.method, packed = stored.size();
            // Version 2.0, UTF-8 names, stored or deflated, a fixed date.
            put(archive, 4, {0x04034b50}), put(archive, 2, {20, 0x0800, method, 0, 0x21});
            put(archive, 4, {crc, packed, e.claimedSize.value_or(size)}), put(archive, 2, {nameLength, 0});
            archive += e.name + stored;

            put(central, 4, {0x02014b50}), put(central, 2, {0x0314, 20, 0x0800, method, 0, 0x21}); // Unix
            put(central, 4, {crc, e.claimedSize ? packed : listedSize, e.claimedSize.value_or(listedSize)});
            put(central, 2, {nameLength, e.declaredSize ? 20u : 0u, 0, 0, 0});
            put(central, 4, {(e.name.ends_with('/') ? 040755u : 0100644u) << 16, offset}); // folder or file
            central += e.name;
            if (e.declaredSize) { // ZIP64: the extracted size, then the compressed one
                put(central, 2, {1, 16});
                put(central, 4,
                    {static_cast<std::uint32_t>(*e.declaredSize),
                     static_cast<std::uint32_t>(*e.declaredSize >> 32), size, 0});
            }
        }
        const std::uint32_t count = _entries.size(), centralSize = central.size();
        put(central, 4, {0x06054b50}), put(central, 2, {0, 0, count, count});
        put(central, 4, {centralSize, static_cast<std::uint32_t>(archive.size())}), put(central, 2, {0});
        return archive + central;
    }
    // Writes the archive and answers its path.
    std::string writeTo(const std::string& path) const {
        return std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes(), path; // closed on return
    }

private:
    struct Entry {
        std::string name, contents;
        std::optional<std::uint64_t> declaredSize;
        std::optional<std::uint32_t> claimedSize;
        std::uint32_t method = 0;
    };
    // The bytes as raw deflate data: zlib's, without its 2-byte header and 4-byte checksum.
    static std::string deflated(const std::string& bytes) {
        std::string out(::compressBound(bytes.size()), '\0');
        uLongf size = out.size();
        ::compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                   bytes.size());
        return out.substr(2, size - 6);
    }
    // Appends each value, little-endian, in the given number of bytes.
    static void put(std::string& out, int bytes, std::initializer_list<std::uint32_t> values) {
        for (const std::uint32_t value : values) {
            for (int i = 0; i < bytes; ++i) {
                out += static_cast<char>(value >> (8 * i));
            }
        }
    }
    std::vector<Entry> _entries;
};

} // namespace quorvane::test
