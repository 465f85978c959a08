#include "platform/CleanupJournal.h"

#include "platform/FileManager.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// A program killed after noting its temporary items: at the next start what it made goes, while it is
// still what it made; nothing else a journal names (stale, edited, or in the bare form of older journals).
TEST(CleanupJournal, RemovesAtTheNextStartOnlyWhatTheProgramMade) {
    TemporaryFolder folder;
    FileManager files;
    const std::string game = folder.makeFolder("game");
    const std::string copy = files.temporaryPathBeside(game + "/a"), extracted = game + "/20070102_090503";
    // Not the program's: named so by someone else, a backup, a user's folder, one in place of the program's.
    const std::string kept[] = {game + "/.quorvane-partial-x", game + "/BackupFiles/20070102_090503",
                                game + "/20070102_090504", game + "/20070102_090505"};
    CleanupJournal running(folder / "state");
    running.record(copy); // a copy in progress is noted before it is made
    fs::create_directory(copy), fs::create_directory(extracted), fs::create_directory(kept[3]);
    running.record(extracted), running.record(kept[3]);
    fs::rename(kept[3], game + "/moved");
    std::ranges::for_each(kept, [](const std::string& other) { fs::create_directories(other); });
    struct stat st {};
    ::lstat(game.c_str(), &st);
    const std::string marks = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " ";
    // A killed run's journal: what the running one noted, and entries someone else wrote.
    folder.writeFile("state/cleanup-" + std::to_string(::getpid()) + "-1",
                     readFile(fs::directory_iterator(folder / "state")->path()) + "0 0 " + marks + kept[0] +
                         '\0' + "1 1 " + marks + kept[2] + '\0' + kept[1] + '\0' + kept[2] + '\0');
    CleanupJournal(folder / "state").cleanUp(files);
    EXPECT_FALSE(exists(copy) || exists(extracted));
    EXPECT_TRUE(std::ranges::all_of(kept, [](const std::string& other) { return exists(other); }));
}

} // namespace
} // namespace quorvane::test
