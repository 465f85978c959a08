#include "engine/ZipCentralDirectory.h"

#include "platform/FileHandle.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace quorvane {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kZip64EndSize = 56;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint64_t kCentralSize = 46;
constexpr std::uint64_t kMaxCommentSize = 0xFFFF;
constexpr std::uint32_t kAbsent32 = 0xFFFFFFFF;
constexpr std::size_t kBlockSize = 64 * 1024;

std::uint64_t little(std::string_view bytes, std::size_t at, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}
std::uint32_t u16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(little(bytes, at, 2));
}
std::uint32_t u32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(little(bytes, at, 4));
}
std::uint64_t u64(std::string_view bytes, std::size_t at) {
    return little(bytes, at, 8);
}

// Reads the central directory front to back in blocks, never outside [begin, end).
class Cursor {
public:
    Cursor(const ZipCentralDirectory::ReadAt& readAt, std::uint64_t begin, std::uint64_t end)
        : _readAt(readAt), _offset(begin), _end(end) {}
    // The next length bytes, or none when they are not all there.
    std::optional<std::string_view> take(std::uint64_t length) {
        if (length > _end - _offset) {
            return std::nullopt;
        }
        if (_offset < _blockStart || _offset + length > _blockStart + _block.size()) {
            const std::uint64_t wanted =
                std::min<std::uint64_t>(std::max<std::uint64_t>(length, kBlockSize), _end - _offset);
            _block = _readAt(_offset, static_cast<std::size_t>(wanted));
            _blockStart = _offset;
            if (_block.size() < length) {
                return std::nullopt;
            }
        }
        const std::string_view view(_block.data() + (_offset - _blockStart),
                                    static_cast<std::size_t>(length));
        _offset += length;
        return view;
    }

private:
    const ZipCentralDirectory::ReadAt& _readAt;
    std::uint64_t _offset;
    std::uint64_t _end;
    std::string _block;
    std::uint64_t _blockStart = 0;
};

// Where the central directory lies and how many entries it announces.
struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t count = 0;
};

// The directory ends where the end record begins, whatever offset the record gives: data put in front
// of the archive (a self-extracting program) shifts every offset alike.
std::optional<Extent> directlyBefore(Extent extent, std::uint64_t endOffset) {
    if (extent.size > endOffset) {
        return std::nullopt;
    }
    extent.offset = endOffset - extent.size;
    return extent;
}

// The end record, searched back from the archive's end over at most a whole comment.
std::optional<Extent> findExtent(std::uint64_t archiveSize, const ZipCentralDirectory::ReadAt& readAt) {
    if (archiveSize < kEndSize) {
        return std::nullopt;
    }
    const std::uint64_t tailSize = std::min(archiveSize, kEndSize + kMaxCommentSize);
    const std::uint64_t tailStart = archiveSize - tailSize;
    const std::string tail = readAt(tailStart, static_cast<std::size_t>(tailSize));
    if (tail.size() != tailSize) {
        return std::nullopt;
    }
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (u32(tail, at) != kEndSignature || at + kEndSize + u16(tail, at + 20) > tail.size()) {
            continue;
        }
        const std::uint64_t endOffset = tailStart + at;
        Extent extent{0, u32(tail, at + 12), u16(tail, at + 10)};
        // A ZIP64 end record, where its locator stands right before the end record, holds the real figures.
        if (endOffset >= kZip64LocatorSize) {
            const std::string locator = readAt(endOffset - kZip64LocatorSize, kZip64LocatorSize);
            if (locator.size() == kZip64LocatorSize && u32(locator, 0) == kZip64LocatorSignature) {
                const std::uint64_t zip64Offset = u64(locator, 8);
                if (zip64Offset > endOffset - kZip64LocatorSize ||
                    endOffset - kZip64LocatorSize - zip64Offset < kZip64EndSize) {
                    return std::nullopt;
                }
                const std::string record = readAt(zip64Offset, kZip64EndSize);
                if (record.size() != kZip64EndSize || u32(record, 0) != kZip64EndSignature) {
                    return std::nullopt;
                }
                extent = Extent{0, u64(record, 40), u64(record, 32)};
                return directlyBefore(extent, zip64Offset);
            }
        }
        return directlyBefore(extent, endOffset);
    }
    return std::nullopt;
}

// The sizes that a central header leaves to its ZIP64 extra field, in the field's order.
bool readZip64Sizes(std::string_view extra, ZipCentralDirectory::Entry& entry, bool sizeAbsent,
                    bool compressedAbsent) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint32_t id = u16(extra, at);
        const std::size_t length = u16(extra, at + 2);
        if (length > extra.size() - at - 4) {
            return false;
        }
        if (id == 0x0001) {
            const std::size_t needed = (sizeAbsent ? 8u : 0u) + (compressedAbsent ? 8u : 0u);
            if (length < needed) {
                return false;
            }
            if (sizeAbsent) {
                entry.size = u64(extra, at + 4);
            }
            return true;
        }
        at += 4 + length;
    }
    return !sizeAbsent && !compressedAbsent;
}

} // namespace

std::optional<ZipCentralDirectory> ZipCentralDirectory::read(std::uint64_t archiveSize,
                                                             const ReadAt& readAt) {
    const std::optional<Extent> extent = findExtent(archiveSize, readAt);
    if (!extent || extent->count > maxEntries || extent->count > extent->size / kCentralSize) {
        return std::nullopt;
    }
    ZipCentralDirectory directory;
    directory._entries.reserve(static_cast<std::size_t>(extent->count));
    Cursor cursor(readAt, extent->offset, extent->offset + extent->size);
    for (std::uint64_t i = 0; i < extent->count; ++i) {
        const auto header = cursor.take(kCentralSize);
        if (!header || u32(*header, 0) != kCentralSignature) {
            return std::nullopt;
        }
        Entry entry;
        entry.method = static_cast<std::uint16_t>(u16(*header, 10));
        entry.crc32 = u32(*header, 16);
        const std::uint32_t compressedSize = u32(*header, 20);
        const std::uint32_t size = u32(*header, 24);
        entry.size = size;
        const std::uint32_t nameLength = u16(*header, 28);
        const std::uint32_t extraLength = u16(*header, 30);
        const std::uint32_t commentLength = u16(*header, 32);
        const auto name = cursor.take(nameLength);
        if (!name) {
            return std::nullopt;
        }
        entry.name = std::string(*name);
        entry.folder = !entry.name.empty() && entry.name.back() == '/';
        const auto extra = cursor.take(extraLength);
        if (!extra || !readZip64Sizes(*extra, entry, size == kAbsent32, compressedSize == kAbsent32) ||
            !cursor.take(commentLength)) {
            return std::nullopt;
        }
        directory._entries.push_back(std::move(entry));
    }
    return directory;
}

std::optional<ZipCentralDirectory> ZipCentralDirectory::readFile(const std::string& path,
                                                                 std::uint64_t archiveSize) {
    const auto handle = FileHandle::openForReading(path);
    if (!handle) {
        return std::nullopt;
    }
    return read(archiveSize, [&](std::uint64_t offset, std::size_t length) {
        handle->seek(offset);
        return handle->read(length);
    });
}

std::uint64_t ZipCentralDirectory::totalSize() const {
    std::uint64_t total = 0;
    for (const Entry& entry : _entries) {
        total = entry.size > std::numeric_limits<std::uint64_t>::max() - total
                    ? std::numeric_limits<std::uint64_t>::max()
                    : total + entry.size;
    }
    return total;
}

} // namespace quorvane
