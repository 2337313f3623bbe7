// The track list is shared for reading only while the program holds it open:
// another program cannot write it, and a program that writes it keeps the
// run from starting. Windows share modes do this; POSIX has none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "failure_report_check.h"
#include "album.h"
#include "folder.h"
#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {


constexpr int kSharingViolation = 32;

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* probe = std::getenv("KARSVREN_SHARE_PROBE");
    if (TargetIsPosix() || probe == nullptr) {
      GTEST_SKIP() << "share modes are a Windows matter";
    }
    probe_ = probe;
  }
  std::string probe_;
  TFolder folder_;
};

TEST_F(Sharing, NoOtherProgramWritesTheListWhileItIsOpenNorIsItRenamed) {
  const std::string list =
      "KARSV.txt\r\nL\r\nnote\r\nL\r\n[l]\r\nspare\r\n"
      "t02.wav\r\nA\r\nnote\r\nB\r\n[c]\r\nspare\r\n";
  folder_.Write("KARSV.txt", list);
  folder_.Write("t02.wav", "two");
  int probeCode = -1;
  // The program blocks on its first full block, in record 2, the list open.
  const TRunResult result = RunProgram(
      {.Folder = folder_.Path(),
       .WhileOutputIsBlocked = [&] { probeCode = RunBeside(folder_.Path(), {probe_, "write", "KARSV.txt"}); }});
  EXPECT_EQ(probeCode, kSharingViolation);
  std::string expected = kBanner + "KARSV.txt\r\nL - L - l\r\n(note)\r\n\r\nt02.wav\r\nA - B - c\r\n(note)\r\n\r\n";
  for (int record = 3; record <= 27; ++record) expected += "\r\n -  - \r\n()\r\n\r\n";
  EXPECT_EQ(result.Stdout, expected);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", list}, {"A - B - c.wav", "two"}}));
  // Once the program has ended, the list can be written again.
  EXPECT_EQ(RunBeside(folder_.Path(), {probe_, "write", "KARSV.txt"}), 0);
}

TEST_F(Sharing, AListThatAnotherProgramWritesIsNotRead) {
  folder_.Write("KARSV.txt", "t01.wav\r\nA\r\nnote\r\nB\r\n[c]\r\nspare\r\n");
  folder_.Write("t01.wav", "one");
  TBackgroundProgram holder(folder_.Path(), {probe_, "hold", "KARSV.txt"});
  ASSERT_EQ(holder.ReadLine(), "ready");
  const TRunResult result = RunProgram({.Folder = folder_.Path()});
  EXPECT_EQ(holder.Finish(), 0);
  EXPECT_EQ(result.Stdout, kBanner);
  const std::optional<TParsedReport> report = ParseReport(result.Stderr);
  ASSERT_TRUE(report.has_value()) << result.Stderr;
  EXPECT_EQ(report->MessageLine, "I/O error 32.");
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents().count("t01.wav"), 1u);
}

}  // namespace
}  // namespace karsvren::e2e
