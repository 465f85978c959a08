// An installation's history on real folders: three updates, the later ones touching the files of the
// earlier; undoing one past the later updates in its way, restoring to before all, removing old backups.
#include "engine/UpdateHistory.h"

#include "support/RunHarness.h"

namespace quorvane::test {
namespace {

// Three updates of an installation with two old files: the first replaces a.png and adds c.png, the
// second replaces b.png and adds Text/t.txt, the third replaces b.png again. Answers the installation.
std::string threeUpdates(RunHarness& h) {
    const std::string game = h.folder.makeInstallation("home/game");
    h.folder.writeFile("home/game/Art/a.png", "old a"), h.folder.writeFile("home/game/Art/b.png", "old b");
    h.folder.writeFile("First/Art/a.png", "a1"), h.folder.writeFile("First/Art/c.png", "c1");
    h.folder.writeFile("Second/Art/b.png", "b2"), h.folder.writeFile("Second/Text/t.txt", "t2");
    h.folder.writeFile("Third/Art/b.png", "b3");
    for (const char* addOn : {"First", "Second", "Third"}) {
        h.runUpdate(game, Paths{h.folder / addOn});
        h.clock.advance(std::chrono::seconds(1));
    }
    return game;
}

// "names added/replaced bytes undoable" for each update, newest first.
std::string listing(const UpdateHistory& history) {
    std::string text;
    for (const UpdateHistory::Entry& e : history.entries()) {
        text += e.addOnNames.at(0) + " " + std::to_string(e.filesAdded) + "/" +
                std::to_string(e.filesReplaced) + " " + std::to_string(e.backupBytes) +
                (e.undoable ? " yes\n" : " no\n");
    }
    return text;
}

TEST(UpdateHistory, UndoesAnyUpdateOnceTheLaterOnesInItsWayAreUndoneFirst) {
    RunHarness h;
    const std::string game = threeUpdates(h);
    const std::string original = "old a|old b|<missing>|<missing>";
    const auto files = [&] {
        return readFile(game + "/Art/a.png") + "|" + readFile(game + "/Art/b.png") + "|" +
               readFile(game + "/Art/c.png") + "|" + readFile(game + "/Text/t.txt");
    };
    UpdateHistory history(h.records, h.files, game);
    EXPECT_EQ(listing(history), "Third 1/1 2 yes\nSecond 2/1 5 yes\nFirst 2/1 5 yes\n");
    // The second is in the third's way (b.png); the first is in no one's.
    EXPECT_EQ(history.undoPlan(1).updates, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(history.undoPlan(2).updates, (std::vector<std::size_t>{2}));
    EXPECT_TRUE(history.undo(history.undoPlan(2), Localizer()).leftAlone.empty());
    EXPECT_EQ(files(), "old a|b3|<missing>|t2");

    UpdateHistory after(h.records, h.files, game);
    EXPECT_EQ(listing(after), "Third 1/1 2 yes\nSecond 2/1 5 yes\n") << "the undone update's record is gone";
    EXPECT_TRUE(after.undo(after.restorePlan(), Localizer()).leftAlone.empty());
    EXPECT_EQ(files(), original);
    EXPECT_FALSE(exists(game + "/BackupFiles")) << "the backups go with their updates";
    EXPECT_TRUE(UpdateHistory(h.records, h.files, game).entries().empty());
}

// Removing old backups frees their space and ends their updates' undo: they stay in the history,
// marked so, and an undo that would need one of them is refused, touching nothing.
TEST(UpdateHistory, RemovedBackupsEndTheUndoOfTheirUpdates) {
    RunHarness h;
    const std::string game = threeUpdates(h);
    UpdateHistory history(h.records, h.files, game);
    EXPECT_EQ(history.backupsBeyond(1).updates, 2u);
    const UpdateHistory::Removal removal = history.removeBackups(1);
    EXPECT_EQ(std::make_pair(removal.updates, removal.freedBytes),
              std::make_pair(std::size_t{2}, std::uint64_t{10}));
    UpdateHistory after(h.records, h.files, game);
    EXPECT_EQ(listing(after), "Third 1/1 2 yes\nSecond 2/1 0 no\nFirst 2/1 0 no\n");
    EXPECT_EQ(treeListing(game + "/BackupFiles"), "20070102_090505/\n20070102_090505/Art/\n"
                                                  "20070102_090505/Art/b.png\n");
    const std::string before = treeListing(game);
    EXPECT_EQ(after.undoPlan(1).blocked, (std::vector<std::size_t>{1}));
    EXPECT_EQ(after.restorePlan().updates, (std::vector<std::size_t>{0})) << "back as far as backups allow";
    after.undo(after.undoPlan(1), Localizer());
    EXPECT_EQ(treeListing(game), before);
}

// A record of the first format (no add-on names) still reads.
TEST(UpdateHistory, RecordsOfTheFirstFormatStillRead) {
    const std::string bytes = std::string("quorvane-updater record 1\0/g\0"
                                          "5\0B-\0/g/BackupFiles/x\0"
                                          "R-S\0"
                                          "3\0"
                                          "7\0"
                                          "0\0Art/a.png\0",
                                          71);
    const auto record = UpdateRecord::parse(bytes);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->date(), 5);
    EXPECT_TRUE(record->addOnNames().empty());
    EXPECT_EQ(record->items().at(0).relativePath + std::to_string(record->replacedCount()), "Art/a.png1");
    EXPECT_EQ(UpdateRecord::parse(record->serialized())->serialized(), record->serialized());
}

} // namespace
} // namespace quorvane::test
