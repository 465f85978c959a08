// The installation list on real folders and preferences: how a folder is judged, the order of the rows,
// what is saved, and the search with a stand-in for locate.
#include "registry/InstallationList.h"

#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "registry/AbsentInstallationWatch.h"
#include "registry/InstallationSearch.h"
#include "support/EventLoopWait.h"
#include "support/LocateStandIn.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <QSignalSpy>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;
using Status = InstallationStatus;
const std::string kNotFound = "Not found. Is its drive connected?";

// A list on preferences in a temporary folder, as the program's would be.
struct Listing {
    Paths rowPaths() const {
        Paths paths;
        for (const Installation& installation : list.installations()) {
            paths.push_back(installation.path);
        }
        return paths;
    }
    std::optional<Paths> saved() const {
        return Preferences(folder / "preferences.ini").stringList("Target_Path_Array");
    }

    TemporaryFolder folder;
    FileManager fileManager;
    Localizer localizer;
    Preferences preferences{folder / "preferences.ini"};
    InstallationList list{fileManager, preferences, localizer};
};

TEST(InstallationCheck, JudgesTheFolderOnDiskAndSaysWhatIsWrong) {
    using Change = std::function<void(const TemporaryFolder&, const std::string&)>;
    const auto remove = [](std::string what) -> Change {
        return [=](auto& f, auto& i) { std::filesystem::remove_all(f / (i + what)); };
    };
    const auto version = [](std::string text) -> Change {
        return [=](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", text); };
    };
    const auto versionFile = [&](std::function<void(const std::string&)> make) -> Change {
        return
            [=](auto& f, auto& i) { remove("/Text/version.txt")(f, i), make(f / (i + "/Text/version.txt")); };
    };
    const struct {
        const char* name;
        Change prepare;
        Status status;
        std::string line;
    } cases[] = {
        {"complete", [](auto&, auto&) {}, Status::valid, ""},
        {"version inside a longer number", version("Quorvane 11.29.3 build 7\n"), Status::valid, ""},
        {"version at the very end of the first 64 KiB", version(std::string(65532, ' ') + "1.29"),
         Status::valid, ""},
        {"version text not UTF-8 around it", version(std::string("\xff\xfe 1.29 \x80", 9)), Status::valid,
         ""},
        {"application a bundle",
         [&](auto& f, auto& i) {
             remove("/Quorvane")(f, i), f.writeFile(i + "/Quorvane/Contents/Info.plist", "");
         },
         Status::valid, ""},
        {"application an ordinary folder",
         [&](auto& f, auto& i) { remove("/Quorvane")(f, i), f.makeFolder(i + "/Quorvane/Data"); },
         Status::notFound, kNotFound},
        {"no application", remove("/Quorvane"), Status::notFound, kNotFound},
        {"Art missing", remove("/Art"), Status::artMissing, "Art folder missing."},
        {"Text missing", remove("/Text"), Status::textMissing, "Text folder missing."},
        {"neither, nor a version file",
         [&](auto& f, auto& i) { remove("/Art")(f, i), remove("/Text")(f, i); }, Status::artAndTextMissing,
         "Art and Text folders missing."},
        {"version file missing", remove("/Text/version.txt"), Status::versionFileMissing,
         "Text/version.txt missing."},
        {"other versions", version("1.28\n1.3"), Status::wrongVersion, "Not version 1.29."},
        {"version only past the first 64 KiB", version(std::string(65533, ' ') + "1.29"),
         Status::wrongVersion, "Not version 1.29."},
        // Examined without waiting for an end that never comes.
        {"version file a pipe", versionFile([](auto& path) { ::mkfifo(path.c_str(), 0644); }),
         Status::wrongVersion, "Not version 1.29."},
        {"version file an endless device",
         versionFile([](auto& path) { std::filesystem::create_symlink("/dev/zero", path); }),
         Status::wrongVersion, "Not version 1.29."},
    };
    for (const auto& c : cases) {
        Listing l;
        const std::string game = l.folder.makeInstallation("home/game");
        c.prepare(l.folder, "home/game");
        const std::string workingFolder = std::filesystem::current_path();
        EXPECT_EQ(l.list.check().judge(game), c.status) << c.name;
        EXPECT_EQ(l.list.check().statusText(c.status), c.line) << c.name;
        EXPECT_EQ(std::filesystem::current_path(), workingFolder) << "the working folder is never changed";
    }
}

// The search lists the folder of each application locate names (valid ones first, each once) and saves
// them in the order found; finding nothing, or no tool, lists and saves nothing, so the next start
// searches again.
TEST(InstallationSearch, ListsAndSavesTheFolderOfEachApplicationLocateNames) {
    for (const char* start : {"finds", "finds nothing", "no tool"}) {
        SCOPED_TRACE(start);
        Listing l;
        RecordingLog log;
        const std::string valid = l.folder.makeInstallation("home/Spiele/Quorvane 1.29"),
                          damaged = l.folder.makeInstallation("home/old", "1.10"),
                          odd = l.folder.makeInstallation("home/sp\xe9il/game"),
                          locate = l.folder / "tools/locate";
        const std::string found = damaged + "/Quorvane\n" + valid + "\n" + valid + "/Quorvane\n" + odd +
                                  "/Quorvane\n" + valid + "/Quorvane\n";
        if (start != std::string("no tool")) {
            writeLocateStandIn(l.folder, "tools/locate", start == std::string("finds") ? found : "");
        }
        InstallationSearch search(locate, log);
        search.start(l.list);
        EXPECT_TRUE(l.list.searching());
        ASSERT_TRUE(waitUntil([&] { return !l.list.searching(); }));
        const bool finds = start == std::string("finds");
        EXPECT_EQ(l.rowPaths(), finds ? (Paths{valid, odd, damaged}) : Paths());
        EXPECT_EQ(l.saved(), finds ? std::optional((Paths{damaged, valid, odd})) : std::nullopt);
        // Finding nothing is locate's answer (exit 1), not an error.
        EXPECT_EQ(log.lines.empty(), start != std::string("no tool")) << testing::PrintToString(log.lines);
        EXPECT_EQ(readFile(locate + ".ran"),
                  start == std::string("no tool") ? "<missing>" : "/\n*/Quorvane\n")
            << "run in / with one unexpanded argument";
    }
}

// The saved list at start: the valid ones first in the order added; one not found stays listed, for a
// drive not connected now, and moves up among the valid ones when it is back.
TEST(InstallationList, ListsSavedPathsValidOnesFirstAndKeepsAbsentOnes) {
    Listing l;
    const std::string A = l.folder.makeInstallation("home/A", "1.0"), B = l.folder.makeInstallation("home/B"),
                      C = l.folder.makeInstallation("home/C", "2.0"), D = l.folder.makeInstallation("home/D"),
                      E = l.folder.makeInstallation("home/E"), gone = l.folder / "home/gone";
    QSignalSpy weighed(&l.list, &InstallationList::weighed);
    EXPECT_TRUE(l.list.restoreSaved(Paths{A, "", B, gone, l.folder.makeFolder("home/plain"), C, B, D}));
    EXPECT_EQ(l.rowPaths(), (Paths{B, D, A, gone, C}));
    EXPECT_EQ(l.list.validCount(), 2u);
    EXPECT_EQ(l.saved(), (Paths{A, B, gone, C, D})) << "in the order found, without the plain folder";
    EXPECT_EQ(weighed.takeFirst().at(0).value<std::size_t>(), 5u);

    l.list.judgeAbsentAgain();
    EXPECT_EQ(l.rowPaths(), (Paths{B, D, A, gone, C})) << "not back yet";
    l.folder.makeInstallation("home/gone"); // the drive is back
    l.list.judgeAbsentAgain();
    EXPECT_EQ(l.rowPaths(), (Paths{B, D, gone, A, C}));
    EXPECT_TRUE(l.list.addFolders(Paths{E}));
    EXPECT_FALSE(l.list.addFolders(Paths{E, l.folder / "home/plain"})) << "listed already, no installation";
    EXPECT_EQ(l.rowPaths(), (Paths{B, D, gone, E, A, C}));
    EXPECT_EQ(l.list.validCount(), 4u);
}

// Removing a row keeps the border between valid and damaged rows where it belongs, and a later addition
// lands on the right side of it.
TEST(InstallationList, RemovingAndAddingKeepValidRowsFirst) {
    Listing l;
    const std::string valid = l.folder.makeInstallation("home/valid"),
                      bad1 = l.folder.makeInstallation("home/b1", "");
    const std::string bad2 = l.folder.makeInstallation("home/b2", ""),
                      added = l.folder.makeInstallation("home/new");
    l.list.addFolders(Paths{valid, bad1, bad2});
    EXPECT_TRUE(l.list.remove(bad1));
    EXPECT_FALSE(l.list.remove(bad1)) << "not listed any more";
    l.list.addFolders(Paths{added});
    EXPECT_EQ(l.rowPaths(), (Paths{valid, added, bad2}));
    EXPECT_TRUE(l.list.remove(valid));
    l.list.addFolders(Paths{valid});
    EXPECT_EQ(l.rowPaths(), (Paths{added, valid, bad2}));
    EXPECT_EQ(l.saved(), (Paths{added, bad2, valid})) << "the rows, then the new one";
}

// Two windows, or a window and a command line, on one preferences file: each save of one list re-reads
// the file and keeps what the other saved meanwhile; only what a list removes itself leaves the file.
TEST(InstallationList, SavingKeepsWhatAnotherWriterSaved) {
    Listing l;
    Preferences otherPreferences{l.folder / "preferences.ini"};
    InstallationList other{l.fileManager, otherPreferences, l.localizer};
    const auto at = [&](const char* name) { return l.folder.makeInstallation(name); };
    const std::string A = at("A"), B = at("B"), C = at("C"), D = at("D");
    l.list.addFolders(Paths{A}), other.addFolders(Paths{B}), l.list.addFolders(Paths{C});
    EXPECT_EQ(l.saved(), (Paths{A, C, B})) << "B, added by the other, was lost";
    other.remove(B), l.list.addFolders(Paths{D}), l.list.remove(A);
    EXPECT_EQ(l.saved(), (Paths{C, D}));
}

// A listed installation judged again: another folder put at its path, or a change of verdict, rebuilds
// its row, across the border when it turned valid or damaged.
TEST(InstallationList, JudgingAgainNoticesAnotherFolderAndMovesTheRow) {
    Listing l;
    const std::string first = l.folder.makeInstallation("home/first"),
                      second = l.folder.makeInstallation("home/2");
    const std::string bad = l.folder.makeInstallation("home/bad", "");
    l.list.addFolders(Paths{first, second, bad});
    EXPECT_EQ(l.list.judgeAgain(first).replaced, false);
    std::filesystem::rename(first, l.folder / "home/old");
    l.folder.makeInstallation("home/first");
    const InstallationList::Verdict verdict = l.list.judgeAgain(first);
    EXPECT_EQ(std::make_pair(verdict.status, verdict.replaced), std::make_pair(Status::valid, true));
    EXPECT_FALSE(l.list.judgeAgain(first).replaced) << "the new folder is the listed one now";
    std::filesystem::remove(l.folder / "home/first/Text/version.txt");
    EXPECT_EQ(l.list.judgeAgain(first).status, Status::versionFileMissing);
    EXPECT_EQ(l.rowPaths(), (Paths{second, first, bad})) << "the first damaged row";
    EXPECT_EQ(l.list.validCount(), 1u);
}

// An installation that was not found is judged again once its folder appears, however many of the folders
// above it were missing: the watch moves down to each folder as it appears.
TEST(AbsentInstallationWatch, AnAbsentInstallationIsBackOnceItsFolderAppears) {
    Listing l;
    AbsentInstallationWatch watch(l.list, l.fileManager);
    const std::string drive = l.folder / "media/drive", installation = l.folder.makeInstallation("Quorvane");
    l.list.restoreSaved(Paths{drive + "/Quorvane"});
    EXPECT_EQ(watch.watchedFolders(), QStringList{QString::fromStdString(l.folder.path())});
    l.folder.makeFolder("media/drive");
    ASSERT_TRUE(
        waitUntil([&] { return watch.watchedFolders() == QStringList{QString::fromStdString(drive)}; }));
    std::filesystem::rename(installation, drive + "/Quorvane"); // the drive is mounted
    ASSERT_TRUE(waitUntil([&] { return l.list.validCount() == 1; }));
    EXPECT_TRUE(watch.watchedFolders().isEmpty());
}

} // namespace
} // namespace quorvane::test
