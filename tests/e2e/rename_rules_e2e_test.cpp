// What the program does to a folder of real files: which files it renames,
// to what, and which it leaves alone. One list holds every rule's record.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "album.h"
#include "folder.h"
#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {

using namespace std::string_literals;


struct TRecord {
  std::string SourceName;
  std::string NamePart1;
  std::string NamePart2;
  std::string NamePart3;
  std::string NewName;  // as printed
};

std::string ListOf(const std::vector<TRecord>& records) {
  std::string list;
  for (const TRecord& record : records) {
    list += record.SourceName + "\r\n" + record.NamePart1 + "\r\nnote\r\n" + record.NamePart2 + "\r\n" +
            record.NamePart3 + "\r\nspare\r\n";
  }
  return list;
}

std::string OutputOf(const std::vector<TRecord>& records) {
  std::string output = kBanner;
  for (const TRecord& record : records) output += record.SourceName + "\r\n" + record.NewName + "\r\n(note)\r\n\r\n";
  for (std::size_t record = records.size(); record < 27; ++record) output += "\r\n -  - \r\n()\r\n\r\n";
  return output;
}

class RenameRules : public ::testing::Test {
 protected:
  TRunResult Run() { return RunProgram({.Folder = folder_.Path()}); }
  TFolder folder_;
};

TEST_F(RenameRules, MoveOnlyWhatTheRulesAllowAndNeverReplace) {
  const std::vector<TRecord> records = {
      {"music\\01.wav", "A1", "B1", "[x]", "A1 - B1 - x"},        // out of its folder
      {"music/02.wav", "A2", "B2", "[x]", "A2 - B2 - x"},         // "/" too
      {"KARSV.txt", "L", "L", "[l]", "L - L - l"},                // the open list
      {"exists.wav", "E", "F", "[g]", "E - F - g"},               // the target exists
      {"dup1.wav", "D", "D", "[d]", "D - D - d"},                 // first of two to one name
      {"dup2.wav", "D", "D", "[d]", "D - D - d"},
      {"folder", "Q", "Q", "[q]", "Q - Q - q"},                   // a directory
      {"old.wav", "O", "O", "[o]", "O - O - o"},                  // before 1980
      {"future.wav", "U", "U", "[u]", "U - U - u"},               // after 2107
      {"deep.wav", "A", "B", "(x/y/z)", "A - B - x-y/z"},         // into a folder that exists
      {"nodir.wav", "A", "B", "(q/r/s)", "A - B - q-r/s"},        // into one that does not
      {"zero.wav\0junk"s, "N", "M", "[o]", "N - M - o"},          // the name ends at NUL
      {"S - T - u.wav", "S", "T", "[u]", "S - T - u"},            // already so named
      {"first.wav", "F1", "F2", "[f]", "F1 - F2 - f"},            // moved twice
      {"F1 - F2 - f.wav", "G1", "G2", "[g]", "G1 - G2 - g"},
      {"", "", "", "", " -  - "},                                 // no name
      {"missing.wav", "X", "Y", "[z]", "X - Y - z"},              // no such file
      {"long.wav", "P", "Q", "[x.wav]", "P - Q - x.wav"},         // ".wav" twice
  };
  const std::string list = ListOf(records);
  folder_.Write("KARSV.txt", list);
  folder_.MakeDirectory("music");
  folder_.Write("music/01.wav", "01");
  folder_.Write("music/02.wav", "02");
  folder_.Write("exists.wav", "exists");
  folder_.Write("E - F - g.wav", "kept");
  folder_.Write("dup1.wav", "dup1");
  folder_.Write("dup2.wav", "dup2");
  folder_.MakeDirectory("folder");
  folder_.Write("old.wav", "old");
  folder_.SetModified("old.wav", 86400 * 2);        // 1970
  folder_.Write("future.wav", "future");
  folder_.SetModified("future.wav", 7258118400LL);  // 2200
  folder_.Write("deep.wav", "deep");
  folder_.MakeDirectory("A - B - x-y");
  folder_.Write("nodir.wav", "nodir");
  folder_.Write("zero.wav", "zero");
  folder_.Write("S - T - u.wav", "same");
  folder_.Write("first.wav", "first");
  folder_.Write("long.wav", "long");

  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, OutputOf(records));
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{
                                    {"KARSV.txt", list},
                                    {"music/", ""},
                                    {"A1 - B1 - x.wav", "01"},
                                    {"A2 - B2 - x.wav", "02"},
                                    {"exists.wav", "exists"},
                                    {"E - F - g.wav", "kept"},
                                    {"D - D - d.wav", "dup1"},
                                    {"dup2.wav", "dup2"},
                                    {"folder/", ""},
                                    {"old.wav", "old"},
                                    {"future.wav", "future"},
                                    {"A - B - x-y/", ""},
                                    {"A - B - x-y/z.wav", "deep"},
                                    {"nodir.wav", "nodir"},
                                    {"N - M - o.wav", "zero"},
                                    {"S - T - u.wav", "same"},
                                    {"G1 - G2 - g.wav", "first"},
                                    {"P - Q - x.wav.wav", "long"},
                                }));
}

// Local time is UTC moved by the offset in force now: Singapore is 8 hours
// ahead today and was 7:30 ahead in 1979, so a file written 1979-12-31 16:15
// UTC was last written in 1980 local time, and one written 15:15 was not.
TEST_F(RenameRules, LocalTimeTakesTheOffsetInForceNow) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/Asia/Singapore")) {
    GTEST_SKIP() << "no time zone data for Asia/Singapore (package tzdata)";
  }
  const std::vector<TRecord> records = {
      {"late.wav", "L", "M", "[n]", "L - M - n"},
      {"early.wav", "E", "F", "[g]", "E - F - g"},
  };
  folder_.Write("KARSV.txt", ListOf(records));
  folder_.Write("late.wav", "late");
  folder_.SetModified("late.wav", 315532800 - (7 * 3600 + 45 * 60));   // 1979-12-31 16:15 UTC
  folder_.Write("early.wav", "early");
  folder_.SetModified("early.wav", 315532800 - (8 * 3600 + 45 * 60));  // 1979-12-31 15:15 UTC
  const TRunResult result = RunProgram({.Folder = folder_.Path(), .Environment = {"TZ=Asia/Singapore"}});
  EXPECT_EQ(result.Stdout, OutputOf(records));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", ListOf(records)},
                                                 {"L - M - n.wav", "late"},
                                                 {"early.wav", "early"}}));
}

// A link to a directory counts as a directory and stays; a link to a file,
// or to nothing, is moved as the link it is.
TEST_F(RenameRules, ALinkToADirectoryStaysAndOtherLinksMoveAsLinks) {
  if (!TestFolderFileSystem().SymbolicLinks) GTEST_SKIP() << "this file system has no symbolic links";
  const std::vector<TRecord> records = {
      {"dirlink", "D", "L", "[x]", "D - L - x"},
      {"filelink", "F", "L", "[x]", "F - L - x"},
      {"dangling", "N", "L", "[x]", "N - L - x"},
  };
  folder_.Write("KARSV.txt", ListOf(records));
  folder_.MakeDirectory("real");
  folder_.Write("real/inside.wav", "inside");
  folder_.Write("file.wav", "file");
  std::filesystem::create_directory_symlink("real", folder_.Path() / "dirlink");
  const bool posix = TargetIsPosix();
  if (posix) {
    std::filesystem::create_symlink("file.wav", folder_.Path() / "filelink");
    std::filesystem::create_symlink("nowhere", folder_.Path() / "dangling");
  }
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, OutputOf(records));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path() / "dirlink"));
  EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "D - L - x.wav"));
  EXPECT_EQ(folder_.Contents().at("real/inside.wav"), "inside");
  if (!posix) return;  // wine takes a unix link for the file it points to
  EXPECT_EQ(std::filesystem::read_symlink(folder_.Path() / "F - L - x.wav"), "file.wav");
  EXPECT_EQ(std::filesystem::read_symlink(folder_.Path() / "N - L - x.wav"), "nowhere");
  EXPECT_EQ(folder_.Contents().at("file.wav"), "file");
  EXPECT_FALSE(std::filesystem::is_symlink(folder_.Path() / "filelink"));
}

TEST_F(RenameRules, BytesAbove127AreNamesAsTheyStand) {
  if (!TargetIsPosix()) {
    GTEST_SKIP() << "wine takes file names on disk as UTF-8, not as bytes of a code page";
  }
  if (!TestFolderFileSystem().AnyByteNames) GTEST_SKIP() << "this file system takes only UTF-8 names";
  const std::vector<TRecord> records = {
      {"caf\xE9.wav", "Caf\xE9", "\xC4", "[\x80/\xFF]", "Caf\xE9 - \xC4 - \x80-\xFF"},
  };
  folder_.Write("KARSV.txt", ListOf(records));
  folder_.Write("caf\xE9.wav", "cafe");
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, OutputOf(records));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", ListOf(records)},
                                                 {"Caf\xE9 - \xC4 - \x80-\xFF.wav", "cafe"}}));
}

TEST_F(RenameRules, ANameWithAPatternCharacterIsNeverMoved) {
  const std::vector<TRecord> records = {
      {"*.wav", "G", "H", "[i]", "G - H - i"},
      {"?.wav", "J", "K", "[l]", "J - K - l"},
      {"*", "A", "B", "[c]", "A - B - c"},
      {"t?.wav", "D", "E", "[f]", "D - E - f"},
  };
  TFolderContents expected{{"KARSV.txt", ListOf(records)}, {"x.wav", "x"}};
  if (TargetIsPosix() && TestFolderFileSystem().AnyByteNames) {
    // Files that bear those very names: Windows allows none, nor do the
    // file systems made for it.
    expected["*"] = "star";
    expected["t?.wav"] = "question";
  }
  for (const auto& [name, content] : expected) folder_.Write(name, content);
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, OutputOf(records));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), expected);
}

TEST_F(RenameRules, AFileOnAnotherFileSystemIsMovedWhole) {
  const TOtherFolder elsewhere(folder_);
  if (elsewhere.Path().empty()) GTEST_SKIP() << elsewhere.WhyNot();
  const std::string source = (elsewhere.Path() / "track.wav").string();
  elsewhere.Write("track.wav", "audio from another disk");
  chmod(source.c_str(), 0640);
  const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, source.c_str(), times, 0);
  const std::vector<TRecord> records = {{source, "A", "B", "[c]", "A - B - c"}};
  folder_.Write("KARSV.txt", ListOf(records));

  const TRunResult result = Run();
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(elsewhere.Contents(), TFolderContents{});
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", ListOf(records)},
                                                 {"A - B - c.wav", "audio from another disk"}}));
  struct stat moved {};
  ASSERT_EQ(stat((folder_.Path() / "A - B - c.wav").c_str(), &moved), 0);
  if (TargetIsPosix() && TestFolderFileSystem().PermissionBits) {
    EXPECT_EQ(moved.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
}

}  // namespace
}  // namespace karsvren::e2e
