#include "engine/UndoJob.h"
#include "engine/UpdateUndo.h"
#include "support/PausingFileManager.h"
#include "support/RunHarness.h"
#include "support/TestNames.h"

#include <algorithm>
#include <fstream>

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// An old file to be replaced and a new one beside it.
Paths keepAndFresh(TemporaryFolder& f) {
    f.writeFile("home/game/Art/keep.png", "old keep");
    f.writeFile("drop/Art/keep.png", "new keep");
    f.writeFile("drop/Art/fresh.png", "fresh");
    return {f / "drop/Art"};
}

class Placement : public testing::TestWithParam<RunCase> {};
TEST_P(Placement, CountsCopiesBackupsAndReports) { expectRun(GetParam()); }

const RunCase kPlacementCases[] = {
    {"file names that are not UTF-8 install byte for byte", [](auto& f, auto&) {
         f.writeFile("home/game/Art/caf\xe9.png", "old");
         f.writeFile("drop/Art/caf\xe9.png", "new");
         f.writeFile("drop/Art/\xff\xfe/na\xefve", "n");
         return Paths{f / "drop/Art"};
     }, {.added = 2, .replaced = 1},
     {{"Art/caf\xe9.png", "new"}, {"Art/\xff\xfe/na\xefve", "n"}, {kBackup + "Art/caf\xe9.png", "old"}},
     "Art/\nArt/caf\xe9.png\n"},
    {"a wrapper folder is descended until its level lines up, and walked once when reached twice",
     [](auto& f, auto&) {
         f.writeFile("drop/Addon v2/sub/Art/flag.png", "flag");
         f.writeFile("drop/Addon v2/sub/Read Me.txt", "read");
         f.writeFile("drop/Addon v2/sub/Docs/manual.txt", "manual");
         return Paths{f / "drop/Addon v2", f / "drop/Addon v2/sub"};
     }, {.added = 3}, {{"Art/flag.png", "flag"}, {"Read Me.txt", "read"}, {"Docs/manual.txt", "manual"}}},
    // Hostile trees: a link beneath the dropped items is never installed, followed or written through.
    {"a plain file in the installation named like a dropped folder is no match, a lined-up link is none",
     [](auto& f, auto&) {
         f.writeFile("home/game/Docs", "a file");
         f.writeFile("drop/wrap/Docs/Art/a.png", "a");
         f.writeFile("outside/.ssh/id_rsa", "secret");
         fs::create_directory_symlink(f / "outside/.ssh", f / "drop/wrap/Art");
         return Paths{f / "drop/wrap"};
     }, {.added = 1}, {{"Art/a.png", "a"}, {"Docs", "a file"}, {"Art/id_rsa", "<missing>"}}},
    {"an add-on's BackupFiles and names of the program's temporary copies are never installed",
     [](auto& f, auto&) {
         f.writeFile("home/game/BackupFiles/20010101_000000/Art/old.png", "backup");
         f.writeFile("drop/Addon/BackupFiles/20010101_000000/Art/old.png", "forged");
         f.writeFile("drop/Addon/Art/.quorvane-partial-1/x", "x"), f.writeFile("drop/Addon/Art/New/n", "n");
         f.writeFile("drop/Addon/Art/New/.quorvane-partial-2/y.png", "y"); // inside a folder copied whole
         return Paths{f / "drop/Addon"};
     }, {.added = 1, .failed = 3}, {{"BackupFiles/20010101_000000/Art/old.png", "backup"}, {"Art/New/n", "n"},
                                    {"Art/New/.quorvane-partial-2/y.png", "<missing>"}},
     "<none>",
     {{"drop/Addon/BackupFiles", "It would write into the installation's backup folder."},
      {"drop/Addon/Art/.quorvane-partial-1", "Its name is kept for the program's temporary copies."},
      {"drop/Addon/Art/New/.quorvane-partial-2", "Its name is kept for the program's temporary copies."}}},
    {"a wrapper with new, replaced, identical and failing entries, and a file that lines up nowhere",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/old.png", "old");
         f.writeFile("home/game/Art/same.png", "same");
         f.makeFolder("home/game/Art/Maps");
         f.writeFile("drop/wrapper/Art/old.png", "changed");
         f.writeFile("drop/wrapper/Art/same.png", "same");
         f.writeFile("drop/wrapper/Art/Maps/m1.map", "m1");
         f.writeFile("drop/wrapper/Text", "a file where the installation has a folder");
         f.writeFile("drop/wrapper/readme.txt", "r");
         fs::create_symlink("/etc/passwd", f / "drop/wrapper/Art/link");
         fs::create_symlink("/etc/passwd", f / "drop/wrapper/Art/Maps/link");
         f.writeFile("drop/wrapper/Art/New/n.png", "n");
         ::mkfifo((f / "drop/wrapper/Art/New/pipe").c_str(), 0644); // fails alone, inside a new folder
         return Paths{f / "drop/wrapper", f.writeFile("drop/loose.txt", "l")};
     }, {.added = 4, .replaced = 1, .identical = 1, .failed = 4},
     {{"Art/old.png", "changed"}, {"Art/Maps/m1.map", "m1"}, {"Art/New/n.png", "n"}, {"readme.txt", "r"},
      {"loose.txt", "<missing>"}},
     "Art/\nArt/Maps/\nArt/old.png\nText/\n", // merged folders keep empty copies when something was replaced
     {{"drop/wrapper/Text", "A folder of that name is in the way."},
      {"drop/wrapper/Art/link", "It is a symbolic link."},
      {"drop/wrapper/Art/Maps/link", "It is a symbolic link."},
      {"drop/wrapper/Art/New/pipe", "It is a pipe, socket or device."}}},
    {"the whole disk, the installation by another name and its backups are never installed; a folder "
     "inside a backup is, as old files are put back by hand",
     [](auto& f, auto&) {
         f.writeFile("home/game/BackupFiles/20010101_000000/Art/old.png", "old");
         fs::create_directory_symlink(f / "home/game", f / "home/alias");
         const std::string backups = f / "home/game/BackupFiles";
         return Paths{"/", f / "home/alias", backups, backups + "/20010101_000000/Art"};
     }, {.added = 1, .failed = 3}, {{"Art/old.png", "old"}}, "<none>",
     {{"/", "It holds the installation."}, {"home/alias", "It is the installation itself."},
      {"home/game/BackupFiles", "It is the installation's backup folder."}}},
    {"a drop of which nothing lines up, a tree dropped twice among it", [](auto& f, auto&) {
         f.makeFolder("home/game/.cache");
         f.makeFolder("home/game/BackupFiles");
         f.writeFile("drop/deep/er/b.txt", "b");
         fs::create_directory_symlink(f / "drop/deep", f / "drop/again");
         fs::create_symlink("/etc/passwd", f / "drop/deep/er/link"); // passed over as a file would be
         return Paths{f.writeFile("drop/a.txt", "a"), f / "drop/deep", f / "drop/again"};
     }, {}, {{"a.txt", "<missing>"}, {"b.txt", "<missing>"}}, "<none>", {},
     "Nothing was installed|None of the items you selected has a folder that matches this installation "
     "(Art, Text)."},
    // Failing file services and permissions: the old file stays, nothing is half written.
    {"an old file that cannot be kept is not replaced", [](auto& f, auto& files) {
         files.fail = [](auto op, auto& to) {
             return (op == "link" || op == "copy") && has(to, "BackupFiles");
         };
         return keepAndFresh(f);
     }, {.added = 1, .failed = 1}, {{"Art/keep.png", "old keep"}}, "<none>", {{"drop/Art/keep.png", ""}}},
    {"without hard links the old files, one of them a file a folder replaces, are copied into the backup",
     [](auto& f, auto& files) {
         files.fail = [](auto op, auto&) { return op == "link"; };
         f.writeFile("home/game/Art/Skins", "a file");
         f.writeFile("drop/Art/Skins/red.png", "red");
         f.writeFile("drop/Art/Skins/blue.png", "blue");
         return keepAndFresh(f);
     }, {.added = 4, .replaced = 2},
     {{"Art/keep.png", "new keep"}, {kBackup + "Art/keep.png", "old keep"}, {"Art/Skins/red.png", "red"},
      {kBackup + "Art/Skins", "a file"}}, "Art/\nArt/Skins\nArt/keep.png\n"},
    // The backup folder is made on first use and kept for the run, under the first free name from the
    // run's second on: taken before (by a folder or a file), or by another window as this one makes it.
    {"the backup folder takes the first free second", [](auto& f, auto& files) {
         files.fail = [](auto op, const std::string& path) { // the other window, just before this one
             if (op == "create" && path.ends_with("/20070102_090505") && fs::create_directory(path)) {
                 std::ofstream(path + "/other.png") << "the other window's backup";
             }
             return false;
         };
         f.makeFolder("home/game/" + kBackup);
         f.writeFile("home/game/BackupFiles/20070102_090504", "taken");
         return keepAndFresh(f);
     }, {.added = 2, .replaced = 1}, {{"BackupFiles/20070102_090506/Art/keep.png", "old keep"},
                                      {"BackupFiles/20070102_090505/Art/keep.png", "<missing>"}}, ""},
    {"a failed rename leaves the old file and no backup copy of it", [](auto& f, auto& files) {
         files.fail = [](auto op, auto& to) { return op == "replace" && has(to, "Art/keep.png"); };
         f.writeFile("home/game/Art/other.png", "old other");
         f.writeFile("drop/Art/other.png", "new other");
         return keepAndFresh(f);
     }, {.added = 2, .replaced = 1, .failed = 1},
     {{"Art/keep.png", "old keep"}, {"Art/other.png", "new other"}}, "Art/\nArt/other.png\n",
     {{"drop/Art/keep.png", ""}}},
    {"an old file that made room for a folder in vain comes back", [](auto& f, auto& files) {
         f.writeFile("home/game/Art/thing", "old thing");
         files.fail = [](auto op, auto& to) {
             return op == "exchange" || (op == "replace" && has(to, "Art/thing"));
         };
         f.writeFile("drop/Art/thing/inner.png", "inner");
         return Paths{f / "drop/Art"};
     }, {.failed = 1}, {{"Art/thing", "old thing"}}, "<none>", {{"drop/Art/thing", ""}}},
    {"an old file that made room in vain and cannot come back stays in the backup", [](auto& f, auto& files) {
         f.writeFile("home/game/Art/thing", "old thing");
         files.fail = [](auto, auto& to) { return std::string_view(to).ends_with("game/Art/thing"); };
         f.writeFile("drop/Art/thing/inner.png", "inner");
         return Paths{f / "drop/Art"};
     }, {.failed = 1}, {{"Art/thing", "<missing>"}}, "Art/\nArt/thing\n", {{"drop/Art/thing", ""}}},
    {"an installation that takes no writes loses nothing, a new folder counts every entry",
     [](auto& f, auto& files) {
         f.writeFile("drop/Art/Maps/a.map", "a");
         f.writeFile("drop/Art/Maps/b.map", "b");
         files.fail = [game = f / "home/game"](auto op, auto& to) {
             return (op == "create" || op == "copy" || op == "link") && has(to, game);
         };
         return keepAndFresh(f);
     }, {.failed = 4}, {{"Art/keep.png", "old keep"}, {"Art/fresh.png", "<missing>"}}},
    {"an installation that vanishes is not made again", [](auto& f, auto& files) {
         files.fail = [game = f / "home/game", gone = false](auto op, auto& to) mutable {
             return op == "link" && (gone = gone || (has(to, "BackupFiles") && fs::remove_all(game) > 0));
         };
         return keepAndFresh(f);
     }, {.failed = 2}, {{"Quorvane", "<missing>"}}},
};

INSTANTIATE_TEST_SUITE_P(Run, Placement, testing::ValuesIn(kPlacementCases),
                         [](const auto& info) { return testNameFrom(info.param.name); });

// An installation with two old files, and an add-on that replaces one, adds a file and adds a folder.
std::string undoScene(TemporaryFolder& f) {
    const std::string game = f.makeInstallation("home/game");
    f.writeFile("home/game/Art/old.png", "old");
    f.writeFile("home/game/Art/keep.png", "keep");
    f.writeFile("drop/Art/old.png", "new");
    f.writeFile("drop/Art/add.png", "add");
    f.writeFile("drop/Art/Maps/m.map", "m");
    return game;
}

// Undo takes back what the run did, item by item, and leaves alone what has changed or gone since.
TEST(Undo, PutsBackWhatTheRunDidAndLeavesAloneWhatChangedSince) {
    // Files written after the run ("<gone>": deleted), "item: reason" sorted, the files afterwards.
    struct Case { const char* name; Pairs since; Paths leftAlone; Pairs after; };
    const Case cases[] = {
        {"an added and a replaced file changed since: they stay, and so does the backup",
         {{"Art/add.png", "edited"}, {"Art/old.png", "edited"}},
         {"Art/add.png: It has changed since the update.", "Art/old.png: It has changed since the update."},
         {{"Art/add.png", "edited"}, {"Art/old.png", "edited"}, {kBackup + "Art/old.png", "old"}}},
        {"an added file missing since, and a file put into an added folder",
         {{"Art/add.png", "<gone>"}, {"Art/Maps/mine.map", "mine"}},
         {"Art/Maps: It has changed since the update.", "Art/add.png: It is no longer there."},
         {{"Art/Maps/mine.map", "mine"}, {"Art/old.png", "old"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunHarness harness;
        const std::string game = undoScene(harness.folder);
        const UpdateRun& run = harness.runUpdate(game, Paths{harness.folder / "drop/Art"});
        for (const auto& [file, text] : c.since) {
            text == "<gone>" ? (void)fs::remove(game + "/" + file)
                             : (void)(std::ofstream(game + "/" + file) << text);
        }
        Paths leftAlone;
        const UpdateUndo::Result undone = UpdateUndo::undo(run.record(), harness.files, Localizer());
        for (const auto& item : undone.leftAlone) {
            leftAlone.push_back(item.item.substr(game.size() + 1) + ": " + item.reason);
        }
        std::sort(leftAlone.begin(), leftAlone.end());
        EXPECT_EQ(leftAlone, c.leftAlone);
        for (const auto& [file, text] : c.after) {
            EXPECT_EQ(readFile(game + "/" + file), text) << file;
        }
    }
}

// An undo whose process dies half-way and that is started again counts what it did the first time: an
// installation fully back is reported undone, not partly.
TEST(Undo, ResumedAfterItsProcessDiedReportsTheWholeUndo) {
    struct DyingFileManager : FileManager {
        bool removeItem(const std::string& path) override {
            return --left >= 0 ? FileManager::removeItem(path) : throw std::runtime_error("killed");
        }
        int left = 1;
    } dying;
    RunHarness harness;
    const std::string game = undoScene(harness.folder);
    const std::string before = treeListing(game);
    const UpdateRun& run = harness.runUpdate(game, Paths{harness.folder / "drop/Art"});
    const std::string progress = harness.folder / "state/undone";
    EXPECT_THROW(UpdateUndo::undo(run.record(), dying, Localizer(), progress), std::runtime_error);
    const UpdateUndo::Result resumed = UpdateUndo::undo(run.record(), harness.files, Localizer(), progress);
    EXPECT_EQ(UpdateUndo::report(resumed, Localizer()).title, "The update was undone");
    EXPECT_EQ(resumed.removed * 10 + resumed.restored, 21u) << "2 removed, 1 put back";
    EXPECT_EQ(treeListing(game), before);
}

// Cancel stops the run between two items: those before are installed whole, none after is begun, the
// report says so, and Put Back restores the installation exactly.
TEST(Cancel, StopsBetweenItemsAndPutBackRestoresTheInstallation) {
    PausingFileManager fileManager(2);
    RunHarness harness(&fileManager);
    const std::string game = undoScene(harness.folder);
    const std::string before = treeListing(game);
    for (int i = 0; i < 5; ++i) {
        harness.folder.writeFile("drop/Art/new" + std::to_string(i) + ".png", "n");
    }
    UpdateRun& run = harness.makeRun(game, Paths{harness.folder / "drop/Art"});
    run.start();
    ASSERT_TRUE(fileManager.waitForPause());
    run.cancel();
    fileManager.resume();
    ASSERT_TRUE(waitUntil([&] { return !harness.reports.empty(); }));

    EXPECT_EQ(harness.reports.back().title, "Update cancelled");
    EXPECT_TRUE(harness.reports.back().cancelled);
    // New files are copied two at a time: the report counts exactly those in place, none half written.
    int added = 0;
    for (const auto& entry : fs::recursive_directory_iterator(game + "/Art")) {
        const std::string contents = entry.is_regular_file() ? readFile(entry.path()) : "old";
        added += contents != "old" && contents != "keep";
    }
    EXPECT_TRUE(harness.reports.back().message.starts_with(std::to_string(added) + " files added"))
        << added << " " << harness.reports.back().message;
    EXPECT_FALSE(has(treeListing(harness.folder.path()), FileManager::temporaryNamePrefix));
    std::optional<UpdateReport> putBack;
    const Localizer localizer;
    UndoJob job(harness.files, localizer, &harness.records);
    run.putBack(job, [&](const UpdateReport& report) { putBack = report; });
    ASSERT_TRUE(waitUntil([&] { return putBack.has_value(); }));
    EXPECT_EQ(putBack->title, "The update was undone");
    EXPECT_EQ(treeListing(game), before);
    EXPECT_FALSE(harness.records.latestFor(game)) << "its record goes with it";
}

// The kept records take an installation back run by run, newest first, across program starts; another
// installation's newer run and a backup folder the user had already stay as they are.
TEST(Undo, GoesBackRunByRunFromTheKeptRecords) {
    RunHarness harness;
    const std::string game = undoScene(harness.folder);
    harness.folder.makeFolder("home/game/BackupFiles");
    const std::string before = treeListing(game);
    harness.runUpdate(game, Paths{harness.folder / "drop/Art"});
    const std::string afterFirst = treeListing(game);
    harness.folder.writeFile("drop2/Art/old.png", "newer");
    harness.clock.advance(std::chrono::seconds(1));
    harness.runUpdate(game, Paths{harness.folder / "drop2/Art"});
    harness.folder.writeFile("drop3/Art/other.png", "other");
    harness.clock.advance(std::chrono::seconds(1));
    harness.runUpdate(harness.folder.makeInstallation("home/other"), Paths{harness.folder / "drop3/Art"});
    // As the next start reads them.
    UpdateRecordStore store(harness.files, harness.folder / "state/records");
    // A record changed since is damaged as a whole: named so, never passed over for the one before, and
    // nothing it asks is done.
    const auto newest = store.latestFor(game);
    const std::string bytes = readFile(newest->file), outside = harness.folder / "outside";
    harness.folder.writeFile("outside/Art/old.png", "outside");
    auto withBackup = [record = *newest->record](const std::string& folder) mutable {
        return record.setBackupFolder(folder), record.serialized();
    };
    const auto withPath = [&](std::string_view path) { // in place of the item "Art/old.png"
        return std::string(bytes).replace(bytes.find(std::string("\0Art/old.png\0", 13)) + 1, 11, path);
    };
    for (const std::string& changed :
         {withBackup(outside), withBackup(harness.folder / "home/other/BackupFiles/x"),
          withPath("Art/../../../outside/Art/old.png"), withPath("BackupFiles/x/Art/old.png"),
          bytes.substr(0, bytes.size() - 1), bytes + std::string(UpdateRecordStore::kMaxRecordSize, '\0')}) {
        std::ofstream(newest->file, std::ios::binary | std::ios::trunc) << changed;
        const auto latest = store.latestFor(game);
        EXPECT_EQ(latest->file + (latest->record ? " read" : " damaged"), newest->file + " damaged");
        if (const auto record = changed.size() > 1000 ? std::nullopt : UpdateRecord::parse(changed)) {
            UpdateUndo::undo(*record, harness.files, Localizer());
            EXPECT_EQ(readFile(game + "/Art/old.png") + treeListing(outside), "newerArt/\nArt/old.png\n");
        }
    }
    std::ofstream(newest->file, std::ios::binary | std::ios::trunc) << bytes;
    for (const std::string& expected : {afterFirst, before}) {
        const auto kept = store.latestFor(game);
        ASSERT_TRUE(kept);
        EXPECT_TRUE(UpdateUndo::undo(*kept->record, harness.files, Localizer()).leftAlone.empty());
        store.forget(kept->file);
        EXPECT_EQ(treeListing(game), expected);
    }
    EXPECT_FALSE(store.latestFor(game));
}

} // namespace
} // namespace quorvane::test
