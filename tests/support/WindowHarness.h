#pragma once

#include "controller/WindowController.h"
#include "engine/UpdateRecordStore.h"
#include "platform/CleanupJournal.h"
#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "support/EventLoopWait.h"
#include "support/FakeClock.h"
#include "support/FakeWindowView.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <memory>

namespace quorvane::test {

using Paths = std::vector<std::string>;

// A desktop that notes the folders it is asked to show instead of starting a file manager.
struct RecordingDesktop : Desktop {
    bool openFolder(const std::string& path) override { return openedFolders.push_back(path), true; }
    Paths openedFolders;
};

// A window controller wired to real file services and preferences in a temporary folder, and to a
// recording stand-in for the window. The folder holds "home/" (installations and drops),
// "preferences.ini", "state/" and "records/".
class WindowHarness {
public:
    struct Options {
        std::string locatePath = "/usr/bin/locate";
        FileManager* fileManager = nullptr; // a stand-in with failures, or the real one
        std::optional<Paths> saved = {};    // the installations saved before the start
    };

    WindowHarness() : WindowHarness(Options{}) {}
    explicit WindowHarness(Options options)
        : clock(localTime(2007, 1, 2, 9, 5, 3)), _options(std::move(options)),
          _fileManager(_options.fileManager ? *_options.fileManager : _realFileManager) {
        if (_options.saved) {
            _preferences.setStringList("Target_Path_Array", *_options.saved);
        }
        _controller = std::make_unique<WindowController>(
            WindowServices{
                UpdateServices{_fileManager, _localizer, log, clock, "/usr/bin/jar", &_journal, &_records},
                desktop, _preferences, _options.locatePath},
            view);
        view.mayClose = [this] { return coordinator().mayClose(); };
    }

    WindowController& controller() { return *_controller; }
    UpdateCoordinator& coordinator() { return _controller->coordinator(); }
    InstallationList& list() { return _controller->installations(); }
    // The rows' paths in table order.
    Paths rowPaths() {
        Paths paths;
        for (const Installation& installation : list().installations()) {
            paths.push_back(installation.path);
        }
        return paths;
    }
    // The installations saved in the preferences file.
    std::optional<Paths> savedList() const {
        return Preferences(folder / "preferences.ini").stringList("Target_Path_Array");
    }
    // Waits for the confirmation of a drop, once its plan is made.
    void waitForPlan() {
        waitUntil([this] { return !coordinator().planning(); }, std::chrono::minutes(1));
    }
    // Answers OK on the newest sheet (the confirmation once planned) and waits until the job it starts,
    // if any, has ended.
    void confirm() {
        waitForPlan();
        view.answer(SheetAnswer::ok);
        waitUntil([this] { return !coordinator().busy(); }, std::chrono::minutes(2));
    }

    TemporaryFolder folder;
    RecordingLog log;
    FakeClock clock;
    FakeWindowView view;
    RecordingDesktop desktop;

private:
    Options _options;
    FileManager _realFileManager;
    FileManager& _fileManager;
    CleanupJournal _journal{folder / "state"};
    UpdateRecordStore _records{_realFileManager, folder / "records"};
    Preferences _preferences{folder / "preferences.ini"};
    Localizer _localizer;
    std::unique_ptr<WindowController> _controller;
};

} // namespace quorvane::test
