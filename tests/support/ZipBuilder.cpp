#include "support/ZipBuilder.h"

#include <array>
#include <cstdint>
#include <fstream>

namespace quorvane::test {
namespace {

std::uint32_t crc32(const std::string& data) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : data) {
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace

ZipBuilder& ZipBuilder::add(const std::string& name, const std::string& contents) {
    _entries.push_back({name, contents, std::nullopt});
    return *this;
}

ZipBuilder& ZipBuilder::declareSize(std::uint64_t size) {
    _entries.back().declaredSize = size;
    return *this;
}

ZipBuilder& ZipBuilder::utf8Names(bool on) {
    _utf8Names = on;
    return *this;
}

std::string ZipBuilder::bytes() const {
    std::string archive;
    std::string central;
    const std::uint16_t flags = _utf8Names ? 0x0800 : 0;
    for (const Entry& entry : _entries) {
        const auto offset = static_cast<std::uint32_t>(archive.size());
        const std::uint32_t crc = crc32(entry.contents);
        const auto size = static_cast<std::uint32_t>(entry.contents.size());
        const auto nameLength = static_cast<std::uint16_t>(entry.name.size());

        put32(archive, 0x04034b50);
        put16(archive, 20);
        put16(archive, flags);
        put16(archive, 0); // stored
        put16(archive, 0);
        put16(archive, 0x21);
        put32(archive, crc);
        put32(archive, size);
        put32(archive, size);
        put16(archive, nameLength);
        put16(archive, 0);
        archive += entry.name;
        archive += entry.contents;

        put32(central, 0x02014b50);
        put16(central, 0x0314); // made by Unix
        put16(central, 20);
        put16(central, flags);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, entry.declaredSize ? 0xFFFFFFFFu : size);
        put32(central, entry.declaredSize ? 0xFFFFFFFFu : size);
        put16(central, nameLength);
        put16(central, entry.declaredSize ? 20 : 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        const bool folder = !entry.name.empty() && entry.name.back() == '/';
        put32(central, (folder ? 040755u : 0100644u) << 16);
        put32(central, offset);
        central += entry.name;
        if (entry.declaredSize) { // ZIP64: the extracted size, then the compressed one
            put16(central, 1);
            put16(central, 16);
            put32(central, static_cast<std::uint32_t>(*entry.declaredSize));
            put32(central, static_cast<std::uint32_t>(*entry.declaredSize >> 32));
            put32(central, size);
            put32(central, 0);
        }
    }
    const auto centralOffset = static_cast<std::uint32_t>(archive.size());
    archive += central;
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<std::uint16_t>(_entries.size()));
    put16(archive, static_cast<std::uint16_t>(_entries.size()));
    put32(archive, static_cast<std::uint32_t>(central.size()));
    put32(archive, centralOffset);
    put16(archive, 0);
    return archive;
}

std::string ZipBuilder::writeTo(const std::string& path) const {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes();
    return path;
}

std::string localHeader(std::uint32_t compressedSize, std::uint16_t nameLength, std::uint16_t extraLength) {
    std::string header;
    put32(header, 0x04034b50);
    put16(header, 20);
    put16(header, 0);
    put16(header, 0);
    put16(header, 0);
    put16(header, 0);
    put32(header, 0);
    put32(header, compressedSize);
    put32(header, compressedSize);
    put16(header, nameLength);
    put16(header, extraLength);
    header.append(static_cast<std::size_t>(nameLength) + extraLength + compressedSize, '\0');
    return header;
}

} // namespace quorvane::test
