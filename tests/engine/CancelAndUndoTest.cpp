#include "engine/UpdateRecordStore.h"
#include "engine/UpdateUndo.h"
#include "platform/Localizer.h"
#include "support/PausingFileManager.h"
#include "support/RunHarness.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// An installation with two old files, and an add-on that replaces one, adds a file and adds a folder.
struct UndoScene {
    explicit UndoScene(RunHarness& harness) : folder(harness.folder) {
        installation = folder.makeInstallation("home/game");
        folder.writeFile("home/game/Art/old.png", "old");
        folder.writeFile("home/game/Art/keep.png", "keep");
        before = treeListing(installation);
        folder.writeFile("drop/Art/old.png", "new");
        folder.writeFile("drop/Art/add.png", "add");
        folder.writeFile("drop/Art/Maps/m.map", "m");
    }
    TemporaryFolder& folder;
    std::string installation;
    std::string before;
};

// Undo takes back what the run did, item by item, and leaves alone what has changed or gone since.
TEST(Undo, PutsBackWhatTheRunDidAndLeavesAloneWhatChangedSince) {
    struct Case {
        const char* name;
        std::function<void(const std::string& installation)> since; // what happens after the run
        Paths leftAlone;                                              // "item: reason"
        std::function<void(const std::string& installation, const std::string& before)> check;
    };
    const auto file = [](const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    };
    const Case cases[] = {
        {"nothing changed since: the installation is as it was, the backup folder gone",
         [](const std::string&) {}, {},
         [](const std::string& installation, const std::string& before) {
             EXPECT_EQ(treeListing(installation), before);
             EXPECT_EQ(readFile(installation + "/Art/old.png"), "old");
         }},
        {"an added file changed since",
         [&](const std::string& installation) { file(installation + "/Art/add.png", "edited"); },
         {"Art/add.png: It has changed since the update."},
         [](const std::string& installation, const std::string&) {
             EXPECT_EQ(readFile(installation + "/Art/add.png"), "edited");
             EXPECT_EQ(readFile(installation + "/Art/old.png"), "old");
         }},
        {"a replaced file changed since: it stays, and so does its backup",
         [&](const std::string& installation) { file(installation + "/Art/old.png", "edited"); },
         {"Art/old.png: It has changed since the update."},
         [](const std::string& installation, const std::string&) {
             EXPECT_EQ(readFile(installation + "/Art/old.png"), "edited");
             EXPECT_EQ(readFile(backupFolder(installation) + "/Art/old.png"), "old");
             EXPECT_FALSE(std::filesystem::exists(installation + "/Art/add.png"));
         }},
        {"an added file missing since, and a file put into an added folder",
         [&](const std::string& installation) {
             std::filesystem::remove(installation + "/Art/add.png");
             file(installation + "/Art/Maps/mine.map", "mine");
         },
         {"Art/add.png: It is no longer there.", "Art/Maps: It has changed since the update."},
         [](const std::string& installation, const std::string&) {
             EXPECT_EQ(readFile(installation + "/Art/Maps/mine.map"), "mine");
             EXPECT_EQ(readFile(installation + "/Art/old.png"), "old");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunHarness harness;
        UndoScene scene(harness);
        const UpdateRun& run = harness.runUpdate(scene.installation, Paths{harness.folder / "drop/Art"});
        ASSERT_EQ(countsOf(run), (Counts{3, 1, 0, 0}));
        c.since(scene.installation);

        const UpdateUndo::Result result = UpdateUndo::undo(run.record(), harness.fileManager(), Localizer());
        Paths leftAlone;
        for (const UpdateUndo::LeftAlone& item : result.leftAlone) {
            leftAlone.push_back(item.item.substr(scene.installation.size() + 1) + ": " + item.reason);
        }
        EXPECT_EQ(leftAlone, c.leftAlone);
        c.check(scene.installation, scene.before);
    }
}

// Cancel stops the run between two items: those before are installed whole, none after is begun, the
// report says so, and Put Back restores the installation exactly.
TEST(Cancel, StopsBetweenItemsAndPutBackRestoresTheInstallation) {
    PausingFileManager fileManager(2);
    RunHarness harness(&fileManager);
    UndoScene scene(harness);
    for (int i = 0; i < 5; ++i) {
        harness.folder.writeFile("drop/Art/new" + std::to_string(i) + ".png", "n");
    }
    UpdateRun& run = harness.makeRun(scene.installation, Paths{harness.folder / "drop/Art"});
    run.start();
    ASSERT_TRUE(fileManager.waitForPause());
    run.cancel();
    fileManager.resume();
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));

    EXPECT_EQ(harness.reportTitle(), "Update cancelled");
    EXPECT_TRUE(harness.reports.back().cancelled);
    EXPECT_EQ(harness.reportMessage().substr(0, 14), "2 files added\n") << "the item under way went in whole";
    EXPECT_FALSE(run.inProgress());
    EXPECT_EQ(treeListing(harness.folder.path()).find(".quorvane-partial"), std::string::npos);

    std::optional<UpdateReport> putBack;
    run.putBack([&](const UpdateReport& report) { putBack = report; });
    EXPECT_TRUE(run.inProgress()) << "no drop while it is put back";
    ASSERT_TRUE(waitUntil([&] { return putBack.has_value(); }));
    EXPECT_EQ(putBack->title, "The update was undone");
    EXPECT_EQ(treeListing(scene.installation), scene.before);
    EXPECT_FALSE(harness.records.latestFor(scene.installation)) << "its record goes with it";
}

// The kept records take an installation back run by run, newest first, across program starts.
TEST(Undo, GoesBackRunByRunFromTheKeptRecords) {
    RunHarness harness;
    UndoScene scene(harness);
    harness.runUpdate(scene.installation, Paths{harness.folder / "drop/Art"});
    const std::string afterFirst = treeListing(scene.installation);
    harness.folder.writeFile("drop2/Art/old.png", "newer");
    harness.clock.advance(std::chrono::seconds(1));
    harness.runUpdate(scene.installation, Paths{harness.folder / "drop2/Art"});

    UpdateRecordStore store(harness.fileManager(), harness.folder / "state/records"); // as the next start reads them
    for (const std::string& expected : {afterFirst, scene.before}) {
        const auto kept = store.latestFor(scene.installation);
        ASSERT_TRUE(kept);
        EXPECT_TRUE(UpdateUndo::undo(kept->record, harness.fileManager(), Localizer()).leftAlone.empty());
        store.forget(kept->file);
        EXPECT_EQ(treeListing(scene.installation), expected);
    }
    EXPECT_EQ(readFile(scene.installation + "/Art/old.png"), "old");
    EXPECT_FALSE(store.latestFor(scene.installation));
}

} // namespace
} // namespace quorvane::test
