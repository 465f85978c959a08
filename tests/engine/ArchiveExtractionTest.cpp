#include "support/RunHarness.h"
#include "support/TestNames.h"
#include "support/ZipBuilder.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

const std::string kGood = ZipBuilder().add("Art/a.png", std::string(100, 'a')).add("Art/b.png", "b").bytes();

class Archive : public testing::TestWithParam<RunCase> {};
TEST_P(Archive, IsExtractedInstalledWholeOrNotAtAllAndItsFolderRemoved) { expectRun(GetParam()); }

const RunCase kArchiveCases[] = {
    {"a dropped archive", [](auto& f, auto&) {
         f.writeFile("home/game/Art/old.png", "old");
         return Paths{ZipBuilder().add("Art/").add("Art/old.png", "new").add("Art/Maps/m1.map", "m1")
                          .add("Text/readme.txt", "r").writeTo(f.makeFolder("drop") + "/Addon.zip")};
     }, {.added = 3, .replaced = 1},
     {{"Art/old.png", "new"}, {"Art/Maps/m1.map", "m1"}, {"Text/readme.txt", "r"}},
     "Art/\nArt/old.png\nText/\n", {}, {}, {}, [](RunHarness& h, auto&) {
         EXPECT_EQ(h.progress.back().maxValue, 1 + 4 + 6)
             << "the archive, its entries extracted, and those on disk installed";
         EXPECT_EQ(h.progress.front().status + " " + h.progress.front().file, "Unzipping: Addon.zip");
     }},
    {"an archive's plan, told from its table of contents: identical by size and CRC-32, in the way, reserved",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/same.png", "same");
         f.writeFile("home/game/Art/size.png", "abcd"); // the size alone does not make it identical
         f.makeFolder("home/game/Art/Maps");
         return Paths{ZipBuilder().add("Art/same.png", "same").add("Art/size.png", "wxyz")
                          .add("Art/Maps", "a file where a folder is").add("BackupFiles/x.png", "x")
                          .add("Art/new/n.png", "n").writeTo(f.makeFolder("drop") + "/Pack.zip")};
     }, {.added = 2, .replaced = 1, .identical = 1, .failed = 2},
     {{"Art/size.png", "wxyz"}, {"Art/new/n.png", "n"}, {"Art/same.png", "same"}},
     "Art/\nArt/Maps/\nArt/size.png\n"},
    {"entries named to escape stay inside the temporary folder, non-ASCII names install as written",
     [](auto& f, auto&) {
         return Paths{ZipBuilder().add("../escaped.txt", "up").add("/absolute.txt", "abs")
                          .add("Art/../../sneaky.txt", "s").add("Art/fine.png", "fine")
                          .add("Art/caf\xc3\xa9/\xc3\xa9t\xc3\xa9.png", "summer")
                          .writeTo(f.makeFolder("drop") + "/nasty.zip")};
     }, {.added = 5}, {{"Art/fine.png", "fine"}, {"Art/caf\xc3\xa9/\xc3\xa9t\xc3\xa9.png", "summer"}},
     "<none>", {}, {}, {}, [](auto&, auto&) { EXPECT_FALSE(exists("/absolute.txt")); }},
    {"damaged, truncated and oversized archives, a pipe and no archive install nothing", [](auto& f, auto&) {
         std::string damaged = kGood;
         damaged[damaged.find("aaaa")] = 'X'; // jar extracts it and exits 0
         ::mkfifo((f.makeFolder("drop") + "/pipe.zip").c_str(), 0644); // would keep the tool waiting
         return Paths{f / "drop/pipe.zip", f.writeFile("drop/damaged.zip", damaged),
                      f.writeFile("drop/truncated.zip", kGood.substr(0, kGood.size() / 2)),
                      f.writeFile("drop/no-zip.zip", "this is no archive"),
                      ZipBuilder().add("Art/huge.png", "small").declareSize(std::uint64_t{1} << 50)
                          .add("Art/c.png", "c").writeTo(f / "drop/huge.zip"),
                      ZipBuilder().add("Art/x/y/z.png", "z").writeTo(f / "drop/implied.zip")};
     }, {.added = 2, .failed = 7},
     {{"Art/a.png", "<missing>"}, {"Art/c.png", "<missing>"}, {"Art/x/y/z.png", "z"}}, "<none>",
     {{"drop/damaged.zip", "The archive is damaged: Art/a.png does not match its recorded size"},
      {"drop/truncated.zip", "The archive is damaged: its table of contents"}, {"drop/pipe.zip", ""},
      {"drop/no-zip.zip", "The archive is damaged: its table of contents"},
      {"drop/huge.zip", "It needs 1125899906842625 bytes of free space to be extracted"}}},
    {"a damaged archive counts each file it would install once, and no folder entry", [](auto& f, auto&) {
         std::string twice = ZipBuilder().add("Art/").add("Art/Sub/").add("Art/Sub/a.png", "a")
                                 .add("Art/b.png", "b").add("./Art/b.png", std::string(100, 'b')).bytes();
         twice[twice.rfind("bbbb")] = 'X';
         return Paths{f.writeFile("drop/twice.zip", twice)};
     }, {.failed = 2}},
    {"thirty archives in a dropped folder, and one inside an archive", [](auto& f, auto&) {
         for (int i = 0; i < 30; ++i) {
             const std::string name = "Art/" + std::to_string(i) + ".png";
             ZipBuilder().add(name, "x").writeTo(f.makeFolder("drop") + "/" + std::to_string(i) + ".zip");
         }
         const std::string inner = ZipBuilder().add("Art/inner.png", "inner").bytes();
         ZipBuilder().add("Text/outer.txt", "outer").add("inner.zip", inner).writeTo(f / "drop/outer.zip");
         f.writeFile("drop/readme.txt", "not lined up");
         return Paths{f / "drop"};
     }, {.added = 32}, {{"Art/29.png", "x"}, {"Text/outer.txt", "outer"}, {"Art/inner.png", "inner"},
                        {"readme.txt", "<missing>"}, {"inner.zip", "<missing>"}}},
    {"bzip2 and LZMA archives are refused before the tool starts", [](auto& f, auto&) {
         return Paths{ZipBuilder().add("Art/a.png", "a").compressedWith(12).writeTo(f / "bz.zip"),
                      ZipBuilder().add("Art/b.png", "b").compressedWith(14).writeTo(f / "lz.zip")};
     }, {.failed = 2}, {{"Art/a.png", "<missing>"}}, "<none>",
     {{"bz.zip", "It is compressed with bzip2, which cannot be extracted here: pack it again"},
      {"lz.zip", "It is compressed with LZMA,"}}, {}, "#!/bin/sh\ntouch \"$0.started\"\nexit 1\n",
     [](RunHarness& h, auto&) { EXPECT_FALSE(exists(h.jarPath + ".started")); }},
    {"what a failing tool extracted is not installed", [](auto& f, auto&) {
         return Paths{ZipBuilder().add("Art/part.png", "new").writeTo(f / "part.zip")};
     }, {.failed = 1}, {{"Art/part.png", "<missing>"}}, "<none>",
     {{"part.zip", "The archive could not be extracted whole."}}, {},
     // Writes one entry, lists it among lines in another language, then fails.
     "#!/bin/sh\nmkdir -p Art && printf new > Art/part.png\n"
     "printf '  erstellt: Art/\\n  entpackt: Art/part.png\\nfertig\\n'\nsleep 0.2; exit 3\n",
     [](RunHarness& h, auto&) { // the last listed entry is shown
         EXPECT_TRUE(std::ranges::any_of(h.progress, [](const auto& p) { return p.file == "part.png"; }));
     }},
    // A lying archive never writes more than it declares: its tool is stopped, its folder goes.
    {"a file that inflates past its declared size is stopped by the tool's file size limit",
     [](auto& f, auto&) {
         return Paths{ZipBuilder().add("Art/a.png", std::string(30 << 20, '\0')).deflateClaiming(1000)
                          .writeTo(f.makeFolder("drop") + "/lie.zip")};
     }, {.failed = 1}, {{"Art/a.png", "<missing>"}}, "<none>",
     {{"drop/lie.zip", "The archive could not be extracted whole."}}, {}, {},
     [](RunHarness& h, auto&) { EXPECT_TRUE(h.log.contains("File too large")); }},
    {"files that together write more than declared stop the tool at once", [](auto& f, auto&) {
         return Paths{ZipBuilder().add("Art/a.png", std::string(1 << 20, 'a')).add("Art/b.png", "b")
                          .writeTo(f.makeFolder("drop") + "/lie.zip")};
     }, {.failed = 2}, {{"Art/a.png", "<missing>"}}, "<none>",
     {{"drop/lie.zip", "The archive holds more than its table of contents declares."}},
     {}, // writes b.png as large as a.png, within the file size limit, then waits: killed, it ends
     "#!/bin/sh\nmkdir Art && head -c 1048576 /dev/zero >Art/a.png && head -c 1048576 /dev/zero >Art/b.png\n"
     "exec sleep 600\n"},
    {"extracted files are moved into place, not copied", [](auto& f, auto&) {
         return Paths{ZipBuilder().add("Art/moved.png", "new").writeTo(f / "a.zip")};
     }, {.added = 1}, {{"Art/moved.png", "new"}}, "<none>", {}, {},
     // Keeps a second name for the file it extracts, to tell afterwards which file was installed.
     "#!/bin/sh\nmkdir -p Art && printf new > Art/moved.png\nln Art/moved.png \"$0.witness\"\n"
     "echo '  inflated: Art/moved.png'\n",
     [](RunHarness& h, const std::string& game) {
         EXPECT_TRUE(std::filesystem::equivalent(game + "/Art/moved.png", h.jarPath + ".witness"));
     }},
};

INSTANTIATE_TEST_SUITE_P(Run, Archive, testing::ValuesIn(kArchiveCases),
                         [](const auto& info) { return testNameFrom(info.param.name); });

// Quitting, closing the window or SIGTERM all end in the teardown of the run: no tool runs on, and no
// temporary folder stays.
TEST(ArchiveTool, AToolStillRunningStopsWhenTheProgramEnds) {
    TemporaryFolder tools;
    const std::string jar =
        tools.writeFile("jar", "#!/bin/sh\necho $$ > \"$0.pid\"\n"
                               "while :; do printf x >> written; sleep 0.05; done\n");
    ::chmod(jar.c_str(), 0755);
    RunHarness harness(nullptr, jar);
    const std::string archive = ZipBuilder() // as large as the tool's writes may get (the file size limit)
                                    .add("Art/a.png", std::string(1 << 16, 'a'))
                                    .writeTo(harness.folder.makeFolder("drop") + "/a.zip");
    harness.makeRun(harness.folder.makeInstallation("home/game"), Paths{archive}).start();
    ASSERT_TRUE(waitUntil([&] { return exists(harness.folder / "drop/20070102_090503/written"); }));
    const auto tool = static_cast<pid_t>(std::stoi(readFile(jar + ".pid")));
    harness.endRun();
    EXPECT_NE(::kill(tool, 0), 0) << "the tool still runs";
    EXPECT_EQ(treeListing(harness.folder / "drop"), "a.zip\n");
}

} // namespace
} // namespace quorvane::test
