#include "TreeGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace quorvane::bench {
namespace {

constexpr std::size_t kFilesPerFolder = 25;
constexpr std::size_t kFoldersPerGroup = 12;

void writeFile(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// Random bytes, fast: contents need only differ, not be good randomness.
std::string randomBytes(std::uint64_t seed, std::size_t size) {
    std::string data(size, '\0');
    std::uint64_t state = seed | 1;
    for (std::size_t i = 0; i < size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const std::size_t n = std::min<std::size_t>(8, size - i);
        std::memcpy(data.data() + i, &state, n);
    }
    return data;
}

std::size_t fileSize(std::mt19937_64& random) {
    std::lognormal_distribution<double> spread(std::log(2000.0), 1.8);
    return static_cast<std::size_t>(std::clamp(spread(random), 4.0, 400000.0));
}

std::string describe(std::size_t fileCount, std::uint64_t seed) {
    std::ostringstream text;
    text << "files=" << fileCount << " seed=" << seed << " layout=2\n";
    return text.str();
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

void makeInstallation(const std::string& path) {
    writeFile(fs::path(path) / "Quorvane", "game");
    fs::create_directories(fs::path(path) / "Art");
    writeFile(fs::path(path) / "Text" / "version.txt", "1.29");
}

GeneratedScenario generateScenario(const std::string& folder, std::size_t fileCount, std::uint64_t seed) {
    GeneratedScenario scenario;
    scenario.installation = (fs::path(folder) / "installation" / "Quorvane").string();
    scenario.wrapper = (fs::path(folder) / "update" / "Forest Pack").string();
    const fs::path stamp = fs::path(folder) / "scenario.txt";
    const fs::path manifest = fs::path(folder) / "changed.txt";
    const bool reuse = fs::exists(stamp) && readAll(stamp) == describe(fileCount, seed);
    if (!reuse) {
        fs::remove_all(folder);
        makeInstallation(scenario.installation);
    }

    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::ostringstream changedList;
    // One file in ten goes to "Music", a top folder the installation does not have yet (copied whole);
    // the rest spread over "Art" and "Text", a third each new, identical and changed.
    for (std::size_t i = 0; i < fileCount; ++i) {
        const bool music = i % 10 == 9;
        const std::string top = music ? "Music" : (i % 2 == 0 ? "Art" : "Text");
        const std::size_t folderIndex = i / kFilesPerFolder;
        char relative[160];
        std::snprintf(relative, sizeof relative, "%s/group%02zu/set%03zu/item%06zu.%s", top.c_str(),
                      folderIndex / kFoldersPerGroup, folderIndex % kFoldersPerGroup, i,
                      top == "Text" ? "txt" : (top == "Art" ? "png" : "ogg"));
        const std::size_t size = fileSize(random);
        const double kind = unit(random);
        const bool sameSize = unit(random) < 0.2;
        const std::size_t otherSize = std::max<std::size_t>(1, size + 1 + (random() % 997));
        const std::uint64_t contentSeed = random();
        const std::uint64_t otherSeed = random();
        const std::uint64_t flipAt = random();
        ++scenario.files;
        scenario.updateBytes += size;
        if (music || kind < 1.0 / 3.0) {
            ++scenario.newFiles;
        } else if (kind < 2.0 / 3.0) {
            ++scenario.identicalFiles;
        } else {
            scenario.changedFiles.emplace_back(relative);
            changedList << relative << '\n';
        }
        if (reuse) {
            continue;
        }
        std::string contents = randomBytes(contentSeed, size);
        writeFile(fs::path(scenario.wrapper) / relative, contents);
        if (music || kind < 1.0 / 3.0) {
            continue;
        }
        if (kind < 2.0 / 3.0) {
            writeFile(fs::path(scenario.installation) / relative, contents);
        } else if (sameSize) {
            contents[contents.size() - 1 - (flipAt % contents.size())] ^= 0x5a;
            writeFile(fs::path(scenario.installation) / relative, contents);
        } else {
            writeFile(fs::path(scenario.installation) / relative, randomBytes(otherSeed, otherSize));
        }
    }
    if (!reuse) {
        writeFile(manifest, changedList.str());
        writeFile(stamp, describe(fileCount, seed));
    }
    return scenario;
}

} // namespace quorvane::bench
