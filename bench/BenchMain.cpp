// The performance bench: our update run against rsync -c and cp -r, an archive against jar alone, and
// the start-up and drag validation of the window. Run with --help for the options.

#include "ChildProcess.h"
#include "TreeComparison.h"
#include "TreeGenerator.h"
#include "WindowDriver.h"
#include "app/UpdaterApplication.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace quorvane::bench;

namespace {

struct Options {
    std::size_t files = 20000;
    std::size_t archiveFiles = 1900; // with their folders, about 2,000 archive entries
    int runs = 3;
    std::vector<std::string> places;
    std::vector<std::string> scenarios{"update", "archive", "hostile", "startup"};
    std::uint64_t seed = 20261206;
    std::string jar = "/usr/bin/jar";
    std::string self;
};

const char* kUsage =
    "usage: quorvane-bench [--quick] [--files N] [--runs N] [--dir FOLDER]... [--scenario "
    "update,archive,hostile,startup]\n"
    "                      [--archive-files N] [--seed N] [--jar PATH]\n"
    "  --dir        where to generate and run (repeatable); default /dev/shm (tmpfs) and /var/tmp (disk)\n"
    "  --quick      2,000 files, 3 runs: a fast check\n";

using Values = std::map<std::string, std::string>;

Values parseValues(const std::string& output) {
    Values values;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (const auto equals = line.find('='); equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        return 0.0;
    }
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

std::string fileSystemOf(const std::string& place) {
    struct statfs info {};
    if (::statfs(place.c_str(), &info) != 0) {
        return "?";
    }
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x01021994UL:
        return "tmpfs";
    case 0xEF53UL:
        return "ext4";
    case 0x9123683EUL:
        return "btrfs";
    case 0x58465342UL:
        return "xfs";
    case 0x794C7630UL:
        return "overlayfs";
    default: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "fs 0x%lx", static_cast<unsigned long>(info.f_type));
        return hex;
    }
    }
}

// A fresh copy of the pristine installation at target (its parent made anew).
void freshInstallation(const std::string& pristine, const fs::path& target) {
    fs::remove_all(target.parent_path());
    fs::create_directories(target.parent_path());
    runOrDie({"cp", "-a", pristine, target.string()});
}

// Our whole update run in a child process: the item dropped onto the installation, "OK" to report.
struct OursResult {
    double seconds = 0.0;
    double processSeconds = 0.0;
    long peakKilobytes = 0;
    Values values;
};

OursResult runOurs(const Options& options, const fs::path& installation, const std::string& item,
                   bool expectSuccess = true) {
    const std::string preferences = (installation.parent_path() / "preferences.ini").string();
    ChildResult child = runChild(
        {options.self, "--child-update", installation.string(), item, preferences, options.jar}, "", true);
    Values values = parseValues(child.output);
    if (child.status != 0 || !values.count("seconds")) {
        throw std::runtime_error("our update run failed on " + installation.string());
    }
    if (expectSuccess && values["title"] != "Application files updated successfully") {
        throw std::runtime_error("our update run reported: " + values["title"] + " " + values["report"]);
    }
    return OursResult{std::stod(values["seconds"]), child.seconds, child.peakKilobytes, values};
}

void check(const std::string& fault, const std::string& what) {
    if (!fault.empty()) {
        throw std::runtime_error(what + ": " + fault);
    }
}

void syncDisks() {
    runOrDie({"sync"});
}

void updateScenario(const Options& options, const std::string& place) {
    const fs::path base = fs::path(place) / "quorvane-bench";
    const fs::path data = base / ("update-" + std::to_string(options.files));
    std::fprintf(stderr, "generating %zu files in %s ...\n", options.files, data.c_str());
    const GeneratedScenario scenario = generateScenario(data.string(), options.files, options.seed);
    const fs::path work = base / "work";

    std::map<std::string, std::vector<double>> times;
    long peak = 0;
    long commandPeak = 0;
    // The program's command line (--install) beside the window, where the build made it.
    const fs::path program = fs::path(options.self).parent_path().parent_path() / "app" / "quorvane-updater";
    std::vector<std::string> tools{"ours", "rsync", "cp"};
    if (fs::exists(program)) {
        tools.insert(tools.begin() + 1, "command");
    }
    for (int round = 0; round < options.runs; ++round) {
        for (std::size_t k = 0; k < tools.size(); ++k) {
            const std::string& tool = tools[(k + static_cast<std::size_t>(round)) % tools.size()];
            const fs::path target = work / tool / "Quorvane";
            freshInstallation(scenario.installation, target);
            syncDisks();
            if (tool == "ours") {
                const OursResult ours = runOurs(options, target, scenario.wrapper);
                const std::string expected =
                    std::to_string(scenario.changedFiles.size()) + " previous files backed up|" +
                    std::to_string(scenario.identicalFiles) + " duplicate files ignored.";
                if (ours.values.at("report").find(expected) == std::string::npos) {
                    throw std::runtime_error("unexpected report: " + ours.values.at("report"));
                }
                times[tool].push_back(ours.seconds);
                times["ours-process"].push_back(ours.processSeconds);
                times["ours-plan"].push_back(std::stod(ours.values.at("planShown")));
                times["ours-unanswered"].push_back(std::stod(ours.values.at("longestUnanswered")));
                peak = std::max(peak, ours.peakKilobytes);
            } else if (tool == "command") {
                const fs::path state = work / "command-state";
                const ChildResult command =
                    runChild({"env", "XDG_STATE_HOME=" + state.string(), "XDG_CONFIG_HOME=" + state.string(),
                              program.string(), "--install", target.string(), scenario.wrapper});
                check(command.status == 0 ? "" : "exit status " + std::to_string(command.status),
                      "--install");
                times[tool].push_back(command.seconds);
                commandPeak = std::max(commandPeak, command.peakKilobytes);
            } else if (tool == "rsync") {
                const ChildResult rsync = runChild({"rsync", "-r", "-c", "-t", "-b",
                                                    "--backup-dir=" + (work / "rsync-backup").string(),
                                                    scenario.wrapper + "/", target.string() + "/"});
                check(rsync.status == 0 ? "" : "exit status " + std::to_string(rsync.status), "rsync");
                times[tool].push_back(rsync.seconds);
            } else {
                const ChildResult cp = runChild({"cp", "-r", scenario.wrapper + "/.", target.string() + "/"});
                check(cp.status == 0 ? "" : "exit status " + std::to_string(cp.status), "cp");
                times[tool].push_back(cp.seconds);
            }
            std::fprintf(stderr, "  round %d %-5s %.3f s\n", round + 1, tool.c_str(), times[tool].back());
        }
        // Both leave the same installation, and our backup holds exactly the replaced files.
        check(firstDifference((work / "ours" / "Quorvane").string(), (work / "rsync" / "Quorvane").string(),
                              {"BackupFiles"}),
              "our installation differs from rsync's");
        check(
            backupFault((work / "ours" / "Quorvane").string(), scenario.installation, scenario.changedFiles),
            "our backup");
        if (times.count("command")) {
            check(firstDifference((work / "command" / "Quorvane").string(),
                                  (work / "rsync" / "Quorvane").string(), {"BackupFiles"}),
                  "the command line's installation differs from rsync's");
        }
        fs::remove_all(work);
    }

    const double ours = median(times["ours"]);
    const double rsync = median(times["rsync"]);
    const double cp = median(times["cp"]);
    std::printf("\nUpdate run, %s (%s): %zu files, %.1f MB (%zu new, %zu identical, %zu changed), "
                "median of %d runs\n",
                place.c_str(), fileSystemOf(place).c_str(), scenario.files, scenario.updateBytes / 1e6,
                scenario.newFiles, scenario.identicalFiles, scenario.changedFiles.size(), options.runs);
    std::printf("  %-28s %8.3f s\n", "ours (OK to report)", ours);
    std::printf("  %-28s %8.3f s   (process start to exit, window set-up included)\n", "ours, whole process",
                median(times["ours-process"]));
    std::printf("  %-28s %8.3f s   (drop to the confirmation showing the plan)\n", "ours, plan on screen",
                median(times["ours-plan"]));
    if (times.count("command")) {
        std::printf("  %-28s %8.3f s   (--install, process start to exit; %.2f x cp -r, goal <= 1.30)\n",
                    "ours, command line", median(times["command"]),
                    median(times["command"]) / median(times["cp"]));
    }
    std::printf("  %-28s %8.3f s\n", "rsync -r -c -t -b", rsync);
    std::printf("  %-28s %8.3f s\n", "cp -r", cp);
    // On tmpfs a file costs its system calls and the safe steps cost more of them than cp makes; on a
    // disk, where bytes cost, writing only what changed wins.
    std::printf("  %-28s %8.2f   (goal <= %.2f)\n", "ours / cp -r", ours / cp,
                fileSystemOf(place) == "tmpfs" ? 1.2 : 0.85);
    std::printf("  %-28s %8.2f   (goal <= 0.50)\n", "ours / rsync -c", ours / rsync);
    std::printf("  %-28s %8.1f MB (goal <= 80)\n", "ours peak resident memory", peak / 1024.0);
    if (commandPeak > 0) {
        std::printf("  %-28s %8.1f MB\n", "command line peak memory", commandPeak / 1024.0);
    }
    std::printf("  %-28s %8.3f s  (longest of the runs; goal < 0.1)\n", "window without answering",
                *std::max_element(times["ours-unanswered"].begin(), times["ours-unanswered"].end()));
    std::printf("  checks: same installation as rsync, backup holds exactly the %zu replaced files: passed\n",
                scenario.changedFiles.size());
    std::fflush(stdout);
}

std::size_t entriesBelow(const fs::path& folder) {
    std::size_t count = 1; // the folder itself
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(folder)) {
        ++count;
    }
    return count;
}

void archiveScenario(const Options& options, const std::string& place) {
    const fs::path base = fs::path(place) / "quorvane-bench";
    const fs::path data = base / ("archive-" + std::to_string(options.archiveFiles));
    const GeneratedScenario scenario =
        generateScenario(data.string(), options.archiveFiles, options.seed + 1);
    const fs::path archive = data / "Forest Pack.zip";
    if (!fs::exists(archive)) {
        runOrDie({options.jar, "-cfM", archive.string(), "-C", (data / "update").string(), "Forest Pack"});
    }
    const std::size_t entries = entriesBelow(scenario.wrapper);
    const fs::path work = base / "work-archive";

    std::map<std::string, std::vector<double>> times;
    const std::vector<std::string> steps{"ours-zip", "jar", "ours-tree"};
    for (int round = 0; round < options.runs; ++round) {
        fs::remove_all(work);
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const std::string& step = steps[(k + static_cast<std::size_t>(round)) % steps.size()];
            if (step == "ours-zip") {
                const fs::path target = work / "zip" / "Quorvane";
                freshInstallation(scenario.installation, target);
                fs::create_directories(work / "drop");
                fs::copy_file(archive, work / "drop" / archive.filename());
                syncDisks();
                times[step].push_back(
                    runOurs(options, target, (work / "drop" / archive.filename()).string()).seconds);
            } else if (step == "jar") {
                fs::remove_all(work / "jar");
                fs::create_directories(work / "jar");
                syncDisks();
                const ChildResult jar =
                    runChild({options.jar, "-xf", archive.string()}, (work / "jar").string());
                check(jar.status == 0 ? "" : "exit status " + std::to_string(jar.status), "jar -xf");
                times[step].push_back(jar.seconds);
            } else {
                // Our run on the tree jar extracted (extracted here, untimed, when jar has not run yet).
                const fs::path extracted = work / "extracted";
                if (!fs::exists(extracted)) {
                    fs::create_directories(extracted);
                    runOrDie({options.jar, "-xf", archive.string()}, extracted.string());
                }
                const fs::path target = work / "tree" / "Quorvane";
                freshInstallation(scenario.installation, target);
                syncDisks();
                times[step].push_back(runOurs(options, target, (extracted / "Forest Pack").string()).seconds);
            }
            std::fprintf(stderr, "  round %d %-9s %.3f s\n", round + 1, step.c_str(), times[step].back());
        }
        check(firstDifference((work / "zip" / "Quorvane").string(), (work / "tree" / "Quorvane").string(),
                              {"BackupFiles"}),
              "the archive installed otherwise than its tree");
        check(backupFault((work / "zip" / "Quorvane").string(), scenario.installation, scenario.changedFiles),
              "our backup of the archive run");
        if (fs::directory_iterator(work / "drop") != fs::directory_iterator() &&
            std::distance(fs::directory_iterator(work / "drop"), fs::directory_iterator()) != 1) {
            throw std::runtime_error("the extraction folder was left beside the archive");
        }
    }
    fs::remove_all(work);

    const double ours = median(times["ours-zip"]);
    const double jar = median(times["jar"]);
    const double tree = median(times["ours-tree"]);
    std::printf(
        "\nArchive, %s (%s): %zu entries (%zu files), %.1f MB uncompressed, %.1f MB zip, median of %d runs\n",
        place.c_str(), fileSystemOf(place).c_str(), entries, scenario.files, scenario.updateBytes / 1e6,
        static_cast<double>(fs::file_size(archive)) / 1e6, options.runs);
    std::printf("  %-34s %8.3f s\n", "ours, archive dropped", ours);
    std::printf("  %-34s %8.3f s\n", "jar -xf alone", jar);
    std::printf("  %-34s %8.3f s\n", "ours, on the extracted tree", tree);
    std::printf("  %-34s %8.2f   (goal <= 1.10)\n", "ours / (jar -xf + ours on tree)", ours / (jar + tree));
    std::fflush(stdout);
}

// Hostile add-ons: a folder lattice whose every level links twice to the next one (a walk that follows
// links takes 2^levels paths), and many small archives in one folder (each its own extraction).
void hostileScenario(const Options& options, const std::string& place) {
    const fs::path base = fs::path(place) / "quorvane-bench" / "hostile";
    fs::remove_all(base);
    const fs::path installation = base / "installation" / "Quorvane";
    makeInstallation(installation.string());
    const std::string pristine = (base / "pristine").string();
    runOrDie({"cp", "-a", installation.string(), pristine});

    constexpr int kLevels = 30;
    const fs::path lattice = base / "lattice" / "Pack";
    for (int level = 0; level < kLevels; ++level) {
        const fs::path folder = lattice / ("level" + std::to_string(level));
        fs::create_directories(folder);
        if (level + 1 < kLevels) {
            for (const char* name : {"a", "b"}) {
                fs::create_directory_symlink("../level" + std::to_string(level + 1), folder / name);
            }
        } else {
            fs::create_directories(folder / "Art");
            std::ofstream(folder / "Art" / "deep.png") << "deep\n";
        }
    }

    constexpr int kArchives = 30;
    const fs::path packs = base / "archives" / "Packs";
    const fs::path source = base / "archive-source";
    fs::create_directories(packs);
    for (int i = 0; i < kArchives; ++i) {
        const fs::path tree = source / std::to_string(i);
        fs::create_directories(tree / "Art");
        std::ofstream(tree / "Art" / ("small" + std::to_string(i) + ".png")) << i << '\n';
        runOrDie({options.jar, "-cfM", (packs / ("pack" + std::to_string(i) + ".zip")).string(), "-C",
                  tree.string(), "Art"});
    }

    std::vector<double> latticeTimes;
    std::vector<double> archiveTimes;
    std::string latticeReport;
    std::string archiveReport;
    for (int round = 0; round < options.runs; ++round) {
        freshInstallation(pristine, installation);
        OursResult run = runOurs(options, installation, lattice.string(), false);
        latticeTimes.push_back(run.seconds);
        latticeReport = run.values["title"] + ": " + run.values["report"];
        freshInstallation(pristine, installation);
        run = runOurs(options, installation, packs.string(), false);
        archiveTimes.push_back(run.seconds);
        archiveReport = run.values["title"] + ": " + run.values["report"];
        if (run.values["report"].find(std::to_string(kArchives) + " files added") == std::string::npos) {
            throw std::runtime_error("the archives did not all install: " + archiveReport);
        }
        std::fprintf(stderr, "  round %d lattice %.3f s, archives %.3f s\n", round + 1, latticeTimes.back(),
                     archiveTimes.back());
    }
    fs::remove_all(base);
    std::printf("\nHostile add-ons, %s (%s), median of %d runs\n", place.c_str(), fileSystemOf(place).c_str(),
                options.runs);
    std::printf("  %-44s %8.3f s (goal < 1)\n", "link lattice of 30 levels, OK to report",
                median(latticeTimes));
    std::printf("    report: %s\n", latticeReport.c_str());
    std::printf("  %-44s %8.3f s (goal < 6)\n", "30 small archives in one folder", median(archiveTimes));
    std::printf("    report: %s\n", archiveReport.c_str());
    std::fflush(stdout);
}

void startupScenario(const Options& options, const std::string& place) {
    const fs::path data = fs::path(place) / "quorvane-bench" / "startup";
    fs::remove_all(data);
    std::vector<std::string> installations;
    for (int i = 0; i < 50; ++i) {
        const fs::path installation = data / "installs" / ("copy " + std::to_string(i)) / "Quorvane";
        makeInstallation(installation.string());
        installations.push_back(installation.string());
    }
    const fs::path addon = data / "Downloads" / "Forest Pack";
    fs::create_directories(addon / "Art");
    const std::string preferences = (data / "config" / "preferences.ini").string();
    fs::create_directories(data / "config");
    {
        quorvane::Preferences defaults(preferences);
        defaults.setStringList("Target_Path_Array", installations);
    }

    std::vector<double> launch;
    std::vector<double> construct;
    std::vector<double> mainToShown;
    std::vector<double> move;
    std::vector<double> validate;
    const int runs = std::max(options.runs, 5);
    for (int i = 0; i < runs; ++i) {
        ChildResult child =
            runChild({options.self, "--child-startup", preferences, addon.string()}, "", true);
        Values values = parseValues(child.output);
        if (child.status != 0 || values["rows"] != "50" || values["dragAccepted"] != "1") {
            throw std::runtime_error("start-up run failed: " + child.output);
        }
        launch.push_back(std::stod(values["shownAt"]) - child.startedAt);
        construct.push_back(std::stod(values["constructToShown"]));
        mainToShown.push_back(std::stod(values["mainToShown"]));
        move.push_back(std::stod(values["dragMove"]));
        validate.push_back(std::stod(values["judgeDrag"]));
    }
    std::printf("\nStart-up with 50 saved installations, %s, median of %d runs\n", place.c_str(), runs);
    std::printf("  %-44s %8.1f ms (goal <= 250)\n", "launch (fork) to window exposed", median(launch) * 1e3);
    std::printf("  %-44s %8.1f ms\n", "main() to window exposed", median(mainToShown) * 1e3);
    std::printf("  %-44s %8.1f ms\n", "constructing the program to window exposed", median(construct) * 1e3);
    std::printf("  %-44s %8.3f ms (goal <= 1)\n", "one drag move over a row (validation)",
                median(move) * 1e3);
    std::printf("  %-44s %8.3f ms\n", "one drag judgement", median(validate) * 1e3);
    std::fflush(stdout);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.self = fs::canonical("/proc/self/exe").string();
    bool placesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::runtime_error(arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--quick") {
            options.files = 2000;
        } else if (arg == "--files") {
            options.files = std::stoul(next());
        } else if (arg == "--archive-files") {
            options.archiveFiles = std::stoul(next());
        } else if (arg == "--runs") {
            options.runs = std::max(1, std::stoi(next()));
        } else if (arg == "--dir") {
            if (!placesGiven) {
                options.places.clear();
            }
            placesGiven = true;
            options.places.push_back(fs::absolute(next()).string());
        } else if (arg == "--scenario") {
            options.scenarios.clear();
            std::istringstream list(next());
            for (std::string name; std::getline(list, name, ',');) {
                options.scenarios.push_back(name);
            }
        } else if (arg == "--seed") {
            options.seed = std::stoull(next());
        } else if (arg == "--jar") {
            options.jar = next();
        } else {
            std::fputs(kUsage, arg == "--help" ? stdout : stderr);
            std::exit(arg == "--help" ? 0 : 64);
        }
    }
    if (!placesGiven) {
        options.places = {"/dev/shm", "/var/tmp"};
    }
    return options;
}

bool wants(const Options& options, const std::string& scenario) {
    return std::find(options.scenarios.begin(), options.scenarios.end(), scenario) != options.scenarios.end();
}

// The offscreen platform's notes about what it cannot do say nothing about the run.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg ||
        (type == QtWarningMsg &&
         (message.startsWith("This plugin does not support") || message.contains("XDG_RUNTIME_DIR")))) {
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

int childMain(int argc, char** argv, double mainAt) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(quorvane::UpdaterApplication::programName);
    const std::string mode = argv[1];
    if (mode == "--child-update" && argc == 6) {
        return driveUpdateRun(argv[2], argv[3], argv[4], argv[5]);
    }
    if (mode == "--child-startup" && argc == 4) {
        return driveStartup(argv[2], argv[3], mainAt);
    }
    return 64;
}

} // namespace

int main(int argc, char** argv) {
    const double mainAt = monotonicSeconds();
    if (argc > 1 && std::string(argv[1]).rfind("--child-", 0) == 0) {
        return childMain(argc, argv, mainAt);
    }
    try {
        const Options options = parseOptions(argc, argv);
        for (const std::string& place : options.places) {
            if (wants(options, "update")) {
                updateScenario(options, place);
            }
            if (wants(options, "archive")) {
                archiveScenario(options, place);
            }
            if (wants(options, "hostile")) {
                hostileScenario(options, place);
            }
        }
        if (wants(options, "startup")) {
            startupScenario(options, options.places.front());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvane-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
