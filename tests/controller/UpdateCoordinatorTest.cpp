// One job at a time: confirming, running, cancelling, putting back and undoing updates, as the window
// shows them.
#include "Listed.h"
#include "support/PausingFileManager.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <semaphore>

namespace quorvane::test {
namespace {

// The real file services, except that once armed, the first removal waits until the test lets it go.
struct PausingRemovals : FileManager {
    bool removeItem(const std::string& path) override {
        if (armed.exchange(false)) {
            paused.release(), resume.acquire();
        }
        return FileManager::removeItem(path);
    }
    std::atomic<bool> armed = false;
    std::binary_semaphore paused{0}, resume{0};
};

TEST(UpdateCoordinator, TheConfirmationNamesTheItemsLiterallyFifteenAtMost) {
    Listed h;
    Paths many;
    std::string fifteen;
    for (int i = 1; i <= 3000; ++i) {
        many.push_back(h.folder / ("drops/item" + std::to_string(i)));
        fifteen += i > 15 ? "" : (i > 1 ? "\n" : "") + ("item" + std::to_string(i));
    }
    const std::string odd = h.folder / "drops/<i>x<\\i> %@%d %%";
    const std::pair<Paths, std::string> cases[] = {
        {Paths{h.folder / "drops/A", h.folder / "drops/B", h.folder / "drops/C.zip"}, "A\nB\nC.zip"},
        {Paths{odd, odd}, "<i>x<\\i> %@%d %%\n<i>x<\\i> %@%d %%"},
        {Paths(many.begin(), many.begin() + 16), fifteen + "\n… and 1 more."},
        {many, fifteen + "\n… and 2985 more."},
    };
    for (const auto& [dropped, names] : cases) {
        ASSERT_TRUE(h.coordinator().confirmUpdate(h.valid2, dropped));
        h.waitForPlan();
        ASSERT_EQ(h.view.sheets.size(), 1u);
        const Sheet& sheet = h.view.sheets[0];
        const std::string named = "Are you sure you want to update Quorvane?|Click OK to update " + h.valid2 +
                                  " using:\n\n" + names + "\n\n";
        EXPECT_EQ(h.view.sheet().substr(0, named.size()), named);
        EXPECT_EQ(sheet.okButton + "|" + sheet.cancelButton.value_or("-"), "OK|Cancel");
        h.view.answer(SheetAnswer::cancel);
    }
}

TEST(UpdateCoordinator, OkInstallsEveryItemAndTheWindowShowsTheEnd) {
    Listed h;
    h.folder.writeFile("drops/more/Text/notes.txt", "notes");
    ASSERT_TRUE(h.drop(Paths{h.addon, h.folder / "drops/more"}, 0));
    h.confirm();
    EXPECT_EQ(readFile(h.valid1 + "/Art/tree.png") + readFile(h.valid1 + "/Text/notes.txt"), "treenotes");
    EXPECT_EQ(h.view.sheet() + "|" + h.view.sheets.back().furtherAction.value_or("-"),
              "Application files updated successfully|2 files added\n0 previous files backed up\n0 duplicate "
              "files ignored.|-");
    EXPECT_EQ(h.coordinator().lastRun()->progressMaxValue(), 6) << "each dropped folder and its entries";
    EXPECT_EQ(h.view.progress, std::make_pair(6.0, 6.0)) << "full, not emptied, while the report is open";
    EXPECT_EQ(h.view.shown, "Installing:|Complete");
    EXPECT_FALSE(h.view.cancelEnabled);
}

// The installation that was confirmed is not updated when another folder took its place meanwhile.
TEST(UpdateCoordinator, AnInstallationReplacedSinceItWasListedIsNotUpdated) {
    Listed h;
    ASSERT_TRUE(h.drop(Paths{h.addon}, 1));
    std::filesystem::rename(h.valid2, h.folder / "home/moved");
    h.folder.makeInstallation("home/valid2");
    h.confirm();
    EXPECT_EQ(h.view.sheet(),
              "This installation has changed since it was listed|Another folder now stands at " + h.valid2 +
                  ". Drop the items onto its row again to update it.");
    EXPECT_FALSE(exists(h.valid2 + "/Art/tree.png") || exists(h.folder / "home/moved/Art/tree.png"));
}

// While another window or command updates the installation (its lock held), a drop is refused with a
// sheet, and the refusal leaves no lock behind.
TEST(UpdateCoordinator, AnInstallationUpdatedElsewhereIsNotUpdatedTooUntilThatEnds) {
    Listed h;
    InstallationLock elsewhere(h.valid1);
    ASSERT_TRUE(h.drop(Paths{h.addon}, 0));
    h.confirm();
    EXPECT_EQ(h.view.sheet(), "Another update of this installation is running.|" + h.valid1 +
                                  " is being updated or undone in another window or by a command. Try again "
                                  "when it has finished.");
    EXPECT_FALSE(exists(h.valid1 + "/Art/tree.png"));
    // A history job is told so where it was asked for (the history window), not on the main window.
    std::string told;
    EXPECT_FALSE(h.coordinator().beginHistoryJob(h.valid1, [&](const Sheet& sheet) { told = sheet.title; }));
    EXPECT_EQ(told, "Another update of this installation is running.");
    elsewhere.release();
    ASSERT_TRUE(h.drop(Paths{h.addon}, 0));
    h.confirm();
    EXPECT_TRUE(exists(h.valid1 + "/Art/tree.png"));
    EXPECT_EQ(InstallationLock(h.valid1).state(), InstallationLock::State::held) << "let go at the end";
}

// Stopping a run from the window: Cancel, with Put Back on its report (OK keeps what was done); closing the
// window, which asks once and closes once the run has stopped; and that question left open, which the
// run's end closes: the report shows and the window stays.
TEST(UpdateCoordinator, CancelOffersPutBackAndClosingAsksFirst) {
    enum Way { putBack, keep, quit, quitLeftOpen };
    for (const Way way : {putBack, keep, quit, quitLeftOpen}) {
        const bool closing = way == quit;
        const char* names[] = {"Put Back", "Cancel, then OK", "closing the window", "question left open"};
        SCOPED_TRACE(names[way]);
        PausingFileManager fileManager(2);
        WindowHarness::Options options;
        options.fileManager = &fileManager;
        Listed h(options);
        const std::string before = treeListing(h.valid1);
        h.folder.writeFile("drop/Art/a.png", "a"), h.folder.writeFile("drop/Art/b.png", "b");
        h.folder.writeFile("drop/Art/c.png", "c");
        ASSERT_TRUE(h.drop(Paths{h.folder / "drop/Art"}, 0));
        h.waitForPlan();
        h.view.answer(SheetAnswer::ok);
        ASSERT_TRUE(fileManager.waitForPause());
        EXPECT_TRUE(h.view.cancelEnabled && h.coordinator().updating());
        if (way >= quit) {
            h.view.closeWindow(), h.view.closeWindow();
            EXPECT_FALSE(h.view.closed);
            EXPECT_EQ(h.view.sheets.size(), 1u) << "asked once";
            EXPECT_EQ(h.view.sheets.back().title, "An update is running. Stop it and quit?");
            if (closing) {
                h.view.answer(SheetAnswer::ok);
            }
        } else {
            h.coordinator().cancel();
        }
        EXPECT_EQ(h.view.cancelEnabled, way == quitLeftOpen);
        fileManager.resume();
        ASSERT_TRUE(waitUntil([&] { return !h.coordinator().busy(); }));
        EXPECT_EQ(std::make_pair(h.view.closed, h.view.sheets.size()),
                  std::make_pair(closing, std::size_t{closing ? 0u : 1u}))
            << "closed, the window shows no report; else the report alone";
        if (way >= quit) {
            EXPECT_TRUE(closing || h.view.sheets[0].title == "Application files updated successfully");
            continue;
        }
        EXPECT_EQ(h.view.sheets.back().title + "|" + h.view.sheets.back().furtherAction.value_or("-"),
                  "Update cancelled|Put Back");
        EXPECT_EQ(h.view.shown, "Update cancelled|") << "not \"Installing: Complete\"";
        EXPECT_GT(h.view.progress.first, 0) << "the bar stays where the update stopped";
        h.view.answer(way == putBack ? SheetAnswer::furtherAction : SheetAnswer::ok);
        EXPECT_EQ(h.coordinator().busy(), way == putBack) << "putting back is a job";
        ASSERT_TRUE(waitUntil([&] { return !h.coordinator().busy(); }));
        EXPECT_EQ(h.view.sheets.empty() ? "" : h.view.sheets.back().title,
                  way == putBack ? "The update was undone" : "");
        EXPECT_EQ(treeListing(h.valid1) == before, way == putBack);
    }
}

// A run that could not install everything can be taken back as a cancelled one can.
TEST(UpdateCoordinator, AnIncompleteRunOffersPutBack) {
    Listed h;
    const std::string before = treeListing(h.valid1);
    h.folder.writeFile("drop/Art/a.png", "a");
    std::filesystem::create_symlink("/etc/hostname", h.folder / "drop/Art/link.png");
    ASSERT_TRUE(h.drop(Paths{h.folder / "drop/Art"}, 0));
    h.confirm();
    EXPECT_EQ(h.view.sheets.back().title + "|" + h.view.sheets.back().furtherAction.value_or("-"),
              "Application files update incomplete|Put Back");
    h.view.answer(SheetAnswer::furtherAction);
    ASSERT_TRUE(waitUntil([&] { return !h.coordinator().busy(); }));
    EXPECT_EQ(treeListing(h.valid1), before);
}

// Undo from the window: its confirmation names the add-on and counts what the update did, nothing else starts
// while it moves files, and its report says what it removed and put back.
TEST(UpdateCoordinator, UndoSaysWhatItWillDoAndHoldsEverythingElseWhileItWorks) {
    PausingRemovals fileManager;
    WindowHarness::Options options;
    options.fileManager = &fileManager;
    Listed h(options);
    h.coordinator().undoLatest(h.valid1);
    ASSERT_TRUE(waitUntil([&] { return !h.view.sheets.empty(); })) << "the records are read off the thread";
    EXPECT_EQ(h.view.sheet(), "There is no update to undo|No update of " + h.valid1 + " is left to undo.");
    h.view.answer(SheetAnswer::ok);
    h.folder.writeFile("records/0.record", std::string("quorvane-updater record 1\0", 26) + h.valid1 + '\0' +
                                               std::string("0\0B-\0/elsewhere\0", 16));
    h.coordinator().undoLatest(h.valid1);
    ASSERT_TRUE(waitUntil([&] { return !h.view.sheets.empty(); }));
    EXPECT_EQ(h.view.sheet(),
              "The update cannot be undone|The record of the latest update of " + h.valid1 + " is damaged.");
    h.view.answer(SheetAnswer::ok);
    h.folder.writeFile("home/valid1/Art/old.png", "old");
    h.folder.writeFile("drop/Art/old.png", "new"), h.folder.writeFile("drop/Art/a.png", "a");
    h.folder.writeFile("drop/Art/b.png", "b");
    ASSERT_TRUE(h.drop(Paths{h.folder / "drop/Art"}, 0));
    h.confirm();
    h.view.answer(SheetAnswer::ok);

    const std::size_t sheets = h.view.sheets.size();
    h.coordinator().undoLatest(h.valid1);
    ASSERT_TRUE(waitUntil([&] { return h.view.sheets.size() > sheets; }));
    // It names the add-on and counts as the update's report counted: 3 files added, 1 backed up.
    EXPECT_EQ(
        h.view.sheet() + "|" + h.view.sheets.back().okButton,
        "Undo Art?|Art (2007-01-02 09:05):\n3 files added\n1 previous files backed up\n\nThe files added "
        "are removed and the previous files put back from the backup; a file changed since is left alone "
        "and named.|Undo");
    fileManager.armed = true;
    h.view.answer(SheetAnswer::ok);
    ASSERT_TRUE(fileManager.paused.try_acquire_for(std::chrono::seconds(20)));
    EXPECT_FALSE(h.drop(Paths{h.addon}, 0)) << "no drop while an undo moves files";
    h.coordinator().undoLatest(h.valid1);
    EXPECT_TRUE(h.view.sheets.empty()) << "no second undo";
    fileManager.resume.release();
    ASSERT_TRUE(waitUntil([&] { return !h.view.sheets.empty(); }));
    EXPECT_EQ(h.view.sheet(), "The update was undone|2 added items removed\n1 replaced items put back.");
    EXPECT_EQ(readFile(h.valid1 + "/Art/old.png"), "old");
    EXPECT_FALSE(exists(h.valid1 + "/Art/a.png"));
}

} // namespace
} // namespace quorvane::test
