#include "ListOnDisk.h"

#include <filesystem>
#include <functional>
#include "support/TestNames.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

struct ValidationCase {
    const char* name;
    std::function<void(const TemporaryFolder&, const std::string&)> prepare;
    InstallationStatus expected;
};

void removePath(const TemporaryFolder& folder, const std::string& relative) {
    std::filesystem::remove_all(folder / relative);
}

class ValidationMatrix : public testing::TestWithParam<ValidationCase> {};

TEST_P(ValidationMatrix, JudgesTheFolderOnDisk) {
    ListOnDisk disk;
    const std::string installation = disk.folder.makeInstallation("home/game");
    GetParam().prepare(disk.folder, "home/game");
    EXPECT_EQ(disk.list._isValidApplication(installation), GetParam().expected);
}

const ValidationCase kCases[] = {
    {"complete", [](auto&, auto&) {}, InstallationStatusValid},
    {"version inside a longer number",
     [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", "Quorvane 11.29.3 build 7\n"); },
     InstallationStatusValid},
    {"application as a bundle folder",
     [](auto& f, auto& i) {
         removePath(f, i + "/Quorvane");
         f.writeFile(i + "/Quorvane/Contents/Info.plist", "<plist/>");
     },
     InstallationStatusValid},
    {"application as a .app-named package is not the name looked for",
     [](auto& f, auto& i) {
         removePath(f, i + "/Quorvane");
         f.makeFolder(i + "/Quorvane.app");
     },
     InstallationStatusNotFound},
    {"application as an ordinary folder",
     [](auto& f, auto& i) {
         removePath(f, i + "/Quorvane");
         f.makeFolder(i + "/Quorvane/Data");
     },
     InstallationStatusNotFound},
    {"no application", [](auto& f, auto& i) { removePath(f, i + "/Quorvane"); }, InstallationStatusNotFound},
    {"Art missing", [](auto& f, auto& i) { removePath(f, i + "/Art"); }, InstallationStatusArtMissing},
    {"Art a plain file",
     [](auto& f, auto& i) {
         removePath(f, i + "/Art");
         f.writeFile(i + "/Art", "");
     },
     InstallationStatusArtMissing},
    {"Text missing", [](auto& f, auto& i) { removePath(f, i + "/Text"); }, InstallationStatusTextMissing},
    {"neither folder, no version file: 3 never 7",
     [](auto& f, auto& i) {
         removePath(f, i + "/Art");
         removePath(f, i + "/Text");
     },
     InstallationStatusArtAndTextMissing},
    {"Art a file and Text missing",
     [](auto& f, auto& i) {
         removePath(f, i + "/Art");
         removePath(f, i + "/Text");
         f.writeFile(i + "/Art", "x");
     },
     InstallationStatusArtAndTextMissing},
    {"version file missing", [](auto& f, auto& i) { removePath(f, i + "/Text/version.txt"); },
     InstallationStatusVersionFileMissing},
    {"version file empty", [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", ""); },
     InstallationStatusWrongVersion},
    {"other version", [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", "1.28\n1.3"); },
     InstallationStatusWrongVersion},
    {"version file a folder",
     [](auto& f, auto& i) {
         removePath(f, i + "/Text/version.txt");
         f.makeFolder(i + "/Text/version.txt");
     },
     InstallationStatusWrongVersion},
    {"version at the very end of the first 64 KiB",
     [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", std::string(65532, ' ') + "1.29"); },
     InstallationStatusValid},
    {"version only past the first 64 KiB: the rest is never read",
     [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", std::string(65533, ' ') + "1.29"); },
     InstallationStatusWrongVersion},
    {"version text not valid UTF-8 around the number",
     [](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", std::string("\xff\xfe 1.29 \x80", 9)); },
     InstallationStatusValid},
};

INSTANTIATE_TEST_SUITE_P(Folders, ValidationMatrix, testing::ValuesIn(kCases), [](const auto& info) { return testNameFrom(info.param.name); });

TEST(Validation, PathsThatAreNoFolderAreNoInstallation) {
    ListOnDisk disk;
    const std::string file = disk.folder.writeFile("home/plain", "x");
    EXPECT_EQ(disk.list._isValidApplication(file), InstallationStatusNotFound);
    EXPECT_EQ(disk.list._isValidApplication(disk.home("absent")), InstallationStatusNotFound);
    EXPECT_EQ(disk.list._isValidApplication(""), InstallationStatusNotFound);
}

TEST(Validation, TheParentOfAnInstallationNamedQuorvaneIsNoInstallation) {
    ListOnDisk disk;
    disk.folder.makeInstallation("home/Quorvane");
    disk.folder.makeFolder("home/Art");
    disk.folder.makeFolder("home/Text");
    EXPECT_EQ(disk.list._isValidApplication((disk.folder / "home")), InstallationStatusNotFound);
    EXPECT_EQ(disk.list._isValidApplication(disk.home("Quorvane")), InstallationStatusValid);
}

TEST(Validation, LeavesTheExaminedFolderAsWorkingDirectoryForRelativePaths) {
    ListOnDisk disk;
    disk.folder.makeInstallation("home/outer");
    disk.folder.makeInstallation("home/outer/inner");
    ASSERT_EQ(disk.list._isValidApplication(disk.home("outer")), InstallationStatusValid);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(disk.home("outer")));
    EXPECT_EQ(disk.list._isValidApplication("inner"), InstallationStatusValid);
}

TEST(Validation, AcceptsFolderNamesThatAreNotUtf8) {
    ListOnDisk disk;
    const std::string installation = disk.folder.makeInstallation("home/sp\xe9il");
    EXPECT_EQ(disk.list._isValidApplication(installation), InstallationStatusValid);
}

TEST(StatusDescription, GivesTheTextOfEveryVerdict) {
    ListOnDisk disk;
    const std::pair<InstallationStatus, const char*> expected[] = {
        {0, ""},
        {1, "Art folder missing."},
        {2, "Text folder missing."},
        {3, "Art and Text folders missing."},
        {4, "Text/version.txt missing."},
        {8, "Not version 1.29."},
        {5, "Unknown error."},
        {6, "Unknown error."},
        {7, "Unknown error."},
        {9, "Unknown error."},
        {-1, "Unknown error."},
        {-42, "Unknown error."},
    };
    for (const auto& [status, text] : expected) {
        EXPECT_EQ(disk.list._statusDescription(status), text) << "status " << status;
    }
}

} // namespace
} // namespace quorvane::test
