#include "ListOnDisk.h"
#include "platform/PathUtilities.h"
#include "registry/InstallationListDelegate.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// Gives the rows their icons and counts the changes the list tells.
class RecordingDelegate : public InstallationListDelegate {
public:
    const ImagePtr& goodFolderIcon() override { return good; }
    const ImagePtr& badFolderIcon() override { return bad; }
    void installationListWeighed(std::size_t) override {}
    void installationListChanged() override { ++changes; }
    void installationListNotSaved(int) override {}

    ImagePtr good = std::make_shared<Image>();
    ImagePtr bad = std::make_shared<Image>();
    int changes = 0;
};

TEST(InstallationList, ValidInstallationsComeFirstInTheOrderAdded) {
    ListOnDisk disk;
    disk.folder.makeInstallation("home/A", "1.0");
    disk.folder.makeInstallation("home/B");
    disk.folder.makeInstallation("home/C", "2.0");
    disk.folder.makeInstallation("home/D");
    disk.folder.makeInstallation("home/E");
    const std::string A = disk.home("A"), B = disk.home("B"), C = disk.home("C"), D = disk.home("D"),
                      E = disk.home("E");

    EXPECT_TRUE(disk.list._addApplications(Paths{A, B, C, D}, true));
    EXPECT_EQ(disk.rowPaths(), (Paths{B, D, A, C}));
    EXPECT_EQ(disk.list.firstBadEntry(), 2);
    EXPECT_EQ(disk.saved(), (Paths{A, B, C, D}));

    disk.list.clear(); // the next start lists the saved paths
    disk.list._addApplications(disk.saved(), true);
    EXPECT_EQ(disk.rowPaths(), (Paths{B, D, A, C}));
    EXPECT_TRUE(disk.list._addApplications(Paths{E}, true));
    EXPECT_EQ(disk.rowPaths(), (Paths{B, D, E, A, C}));
    EXPECT_EQ(disk.list.firstBadEntry(), 3);
}

TEST(InstallationList, SkipsEmptyUnknownAndAlreadyListedPaths) {
    RecordingDelegate delegate;
    ListOnDisk disk(&delegate);
    const std::string game = disk.folder.makeInstallation("home/game");
    const std::string plain = disk.folder.makeFolder("home/plain");

    EXPECT_TRUE(disk.list._addApplications(Paths{"", game, game, plain}, true));
    EXPECT_EQ(disk.rowPaths(), Paths{game});
    const int changes = delegate.changes;

    // A second call that adds nothing: no change told, and the saved list stays as it was.
    std::filesystem::remove_all(game + "/Art");
    disk.preferences.setObject(Paths{"sentinel"}, "Target_Path_Array");
    disk.preferences.synchronize();
    EXPECT_FALSE(disk.list._addApplications(Paths{game, plain, ""}, true));
    EXPECT_EQ(delegate.changes, changes);
    EXPECT_EQ(disk.saved(), Paths{"sentinel"});
    // The listed record keeps the verdict it had when it was added.
    EXPECT_EQ(disk.list.targetPathArray()[0].status, 0);

    EXPECT_FALSE(disk.list._addApplications(std::nullopt, true));
    EXPECT_FALSE(disk.list._addApplications(Paths{}, true));
}

TEST(InstallationList, RecordsCarryTheStyledStatusLineAndTheirIcon) {
    RecordingDelegate delegate;
    ListOnDisk disk(&delegate);
    const std::string good = disk.folder.makeInstallation("home/good");
    const std::string bad = disk.folder.makeInstallation("home/bad", "0.9");
    disk.list._addApplications(Paths{good, bad}, true);

    const auto& list = disk.list.targetPathArray();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].pathDescription->string(), good + "\n");
    EXPECT_TRUE(list[0].pathDescription->runs().empty());
    EXPECT_EQ(list[0].icon, delegate.good);

    const AttributedString& description = *list[1].pathDescription;
    EXPECT_EQ(description.string(), bad + "\nNot version 1.29.");
    ASSERT_EQ(description.runs().size(), 1u);
    const auto& run = description.runs()[0];
    EXPECT_EQ(run.location, bad.size() + 1);
    EXPECT_EQ(run.length, std::string("Not version 1.29.").size());
    EXPECT_EQ(run.style, (TextStyle{10.0, TextColor::Red}));
    EXPECT_EQ(list[1].icon, delegate.bad);
    EXPECT_EQ(list[1].status, 8);
}

TEST(InstallationList, LocateOutputListsTheFolderOfEachApplicationItNames) {
    ListOnDisk disk;
    const std::string valid = disk.folder.makeInstallation("home/Spiele/Quorvane 1.29");
    const std::string damaged = disk.folder.makeInstallation("home/old", "1.10");
    const std::string nonAscii = disk.folder.makeInstallation("home/\xc3\xa9t\xc3\xa9/game");
    disk.list.targetPathArray().push_back(AppRecord{}); // the searching placeholder goes

    disk.list._fillApplicationList(damaged + "/Quorvane\n" + // the application: its folder
                                   valid + "\n" +            // the installation itself: its parent is none
                                   valid + "/Quorvane\n" + nonAscii + "/Quorvane\n" +
                                   valid + "/Quorvane\n"); // final newline: an empty last piece
    EXPECT_EQ(disk.rowPaths(), (Paths{valid, nonAscii, damaged}));
    EXPECT_EQ(disk.saved(), (Paths{damaged, valid, nonAscii}));
}

TEST(InstallationList, AListedInstallationJudgedAgainGetsItsRecordRebuilt) {
    struct Case {
        const char* what;
        std::function<void(const TemporaryFolder&, const std::string& game)> change;
        InstallationStatus status;
        bool replaced;
        std::string statusLine;
        Paths rowNames;
    };
    const Case cases[] = {
        {"deleted", [](auto&, auto& game) { std::filesystem::remove_all(game); }, InstallationStatusNotFound,
         true, "Not found. Is its drive connected?", {"other", "game", "damaged"}},
        {"changed to another version",
         [](auto& f, auto&) { f.writeFile("home/game/Text/version.txt", "1.30"); },
         InstallationStatusWrongVersion, false, "Not version 1.29.", {"other", "game", "damaged"}},
        {"renamed, and another installation put in its place",
         [](auto& f, auto& game) {
             std::filesystem::rename(game, game + " old");
             f.makeInstallation("home/game");
         },
         InstallationStatusValid, true, "", {"game", "other", "damaged"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingDelegate delegate;
        ListOnDisk disk(&delegate);
        const std::string game = disk.folder.makeInstallation("home/game");
        disk.list._addApplications(Paths{game, disk.folder.makeInstallation("home/other"),
                                         disk.folder.makeInstallation("home/damaged", "1.0")},
                                   true);
        c.change(disk.folder, game);
        const int changes = delegate.changes;
        bool replaced = !c.replaced;
        EXPECT_EQ(disk.list._judgeListedApplicationAgain(game, &replaced), c.status);
        EXPECT_EQ(replaced, c.replaced);
        EXPECT_EQ(delegate.changes, changes + 1);

        Paths rowNames;
        for (const std::string& path : disk.rowPaths()) {
            rowNames.push_back(path::lastPathComponent(path));
        }
        EXPECT_EQ(rowNames, c.rowNames);
        const AppRecord& record = disk.list.targetPathArray()[c.status == 0 ? 0 : 1];
        EXPECT_EQ(record.status, c.status);
        EXPECT_EQ(record.pathDescription->string(), game + "\n" + c.statusLine);
        EXPECT_EQ(record.icon, c.status == 0 ? delegate.good : delegate.bad);
        EXPECT_EQ(disk.list.firstBadEntry(), c.status == 0 ? 2 : 1);
    }
}

} // namespace
} // namespace quorvane::test
