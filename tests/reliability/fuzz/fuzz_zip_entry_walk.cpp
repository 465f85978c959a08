// The entry walk that sizes the progress bar, over any bytes and any announced archive size: it must end,
// read nothing outside the file, and never count below zero.
#include "support/MyInstallerTestPeer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string archivePath() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/quorvane-fuzz-walk-" +
           std::to_string(::getpid()) + ".zip";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the announced size: the file's own (as the program passes it), or a
    // different one taken from the next eight bytes.
    std::uint64_t announced = 0;
    bool ownSize = true;
    if (size > 0 && (data[0] & 1) != 0 && size >= 9) {
        std::memcpy(&announced, data + 1, sizeof announced);
        ownSize = false;
        data += 9;
        size -= 9;
    } else if (size > 0) {
        data += 1;
        size -= 1;
    }
    static const std::string path = archivePath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
    const std::int32_t count =
        quorvane::MyInstallerTestPeer::countArchiveEntries(path, ownSize ? size : announced);
    if (count < 0) {
        std::abort();
    }
    // Every counted step started at a header position inside the announced archive: at most one per byte.
    if (ownSize && static_cast<std::uint64_t>(count) > size + 1) {
        std::abort();
    }
    return 0;
}
