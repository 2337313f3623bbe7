// The built program, run in temporary folders of real files with real pipes,
// files, devices and closed descriptors. Every case checks the bytes of
// standard output and standard error, the exit code and the folder afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "album.h"
#include "failure_report_check.h"
#include "folder.h"
#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {

int CountLines(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

class EndToEnd : public ::testing::Test {
 protected:
  TRunResult Run(TRunRequest request = {}) {
    request.Folder = folder_.Path();
    return RunProgram(request);
  }
  TFolder folder_;
};

TEST_F(EndToEnd, RenamesTheAlbumAndPrints112Lines) {
  MakeAlbum(folder_);
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(CountLines(result.Stdout), 112);
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

TEST_F(EndToEnd, RedirectedToAFileGivesTheSameBytes) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.Stdout = TStream::File, .Stderr = TStream::File});
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(EndToEnd, ArgumentsHaveNoEffect) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.Arguments = {"--help", "-v", "other.txt", ""}});
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

TEST_F(EndToEnd, ASecondRunFindsNothingToRename) {
  MakeAlbum(folder_);
  Run();
  const TRunResult again = Run();
  EXPECT_EQ(again.Stdout, AlbumOutput());
  EXPECT_EQ(again.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

TEST_F(EndToEnd, AnEmptyListGives27EmptyRecords) {
  folder_.Write("KARSV.txt", "");
  folder_.Write(" -  - .wav", "existing");
  const TRunResult result = Run();
  std::string expected = kBanner;
  for (int record = 1; record <= 27; ++record) expected += "\r\n -  - \r\n()\r\n\r\n";
  EXPECT_EQ(result.Stdout, expected);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", ""}, {" -  - .wav", "existing"}}));
}

TEST_F(EndToEnd, AListWithLfEndsAndNoLastLineEndReadsTheSame) {
  std::string list = AlbumList(27);
  for (std::size_t at = list.find("\r\n"); at != std::string::npos; at = list.find("\r\n", at)) list.erase(at, 1);
  list.pop_back();
  folder_.Write("KARSV.txt", list);
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(EndToEnd, MissingListIsReportedAfterTheBanner) {
  folder_.Write("t01.wav", "a");
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, kBanner);
  ExpectReport(result.Stderr, "EInOutError", "File not found.", kOpenOfTheList);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"t01.wav", "a"}}));
}

// The report names the program's file, whatever name it was started by.
TEST_F(EndToEnd, TheReportNamesTheProgramFileWhateverItWasStartedAs) {
  if (!TargetIsPosix()) GTEST_SKIP() << "wine starts karsvren.exe under its own name";
  const std::filesystem::path link = folder_.Path().parent_path() / (folder_.Path().filename().string() + "-kv");
  std::filesystem::create_symlink(ProgramPath(), link);
  struct TStart {
    const char* Name;
    TRunRequest Request;
  };
  const TStart starts[] = {
      {"another argv[0]", {.Argv0 = "/x/OTHERNAME"}},
      {"an empty argv[0]", {.Argv0 = ""}},
      {"a symlink kv", {.Program = link}},
      {"a symlink kv with argv[0] kv", {.Program = link, .Argv0 = "kv"}},
  };
  for (const TStart& start : starts) {
    SCOPED_TRACE(start.Name);
    const TRunResult result = Run(start.Request);
    EXPECT_EQ(result.Stdout, kBanner);
    ExpectReport(result.Stderr, "EInOutError", "File not found.", kOpenOfTheList);
    EXPECT_EQ(result.ExitCode, 1);
  }
  std::filesystem::remove(link);
}

TEST_F(EndToEnd, ADirectoryNamedLikeTheListIsRefused) {
  folder_.MakeDirectory("KARSV.txt");
  const TRunResult result = Run();
  EXPECT_EQ(result.Stdout, kBanner);
  ExpectReport(result.Stderr, "EInOutError", "File access denied.", kOpenOfTheList);
  EXPECT_EQ(result.ExitCode, 1);
}

TEST_F(EndToEnd, AnUnreadableListIsRefused) {
  if (geteuid() == 0 && !TargetIsPosix()) {
    GTEST_SKIP() << "root reads every file, and wine runs for no other user here";
  }
  MakeAlbum(folder_);
  std::filesystem::permissions(folder_.Path(), std::filesystem::perms::all);
  std::filesystem::permissions(folder_.Path() / "KARSV.txt", std::filesystem::perms::none);
  const TRunResult result = Run({.AsUnprivilegedUser = true});
  if (geteuid() == 0 && (result.ExitCode == 126 || result.ExitCode == 127) && result.Stdout.empty()) {
    GTEST_SKIP() << "user nobody cannot reach the program or the folder here";
  }
  EXPECT_EQ(result.Stdout, kBanner);
  ExpectReport(result.Stderr, "EInOutError", "File access denied.", kOpenOfTheList);
  EXPECT_EQ(result.ExitCode, 1);
  std::filesystem::permissions(folder_.Path() / "KARSV.txt", std::filesystem::perms::owner_read);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(0));
}

TEST_F(EndToEnd, AnUnusableStandardOutputIsReportedAs105BeforeAnythingElse) {
  if (!TargetIsPosix()) {
    GTEST_SKIP() << "under wine a closed descriptor 1 is taken by one of wine's own files "
                    "before the program starts, and the program sees a disk file";
  }
  MakeAlbum(folder_);
  for (const TStream output : {TStream::Closed, TStream::ReadOnly}) {
    SCOPED_TRACE(output == TStream::Closed ? "closed" : "open for reading only");
    const TRunResult result = Run({.Stdout = output});
    ExpectReport(result.Stderr, "EInOutError", IoError(105), kFirstBannerLine);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(folder_.Contents(), AlbumAfter(0));
  }
}

TEST_F(EndToEnd, ClosedStandardErrorLosesTheReportButNotTheExitCode) {
  const TRunResult result = Run({.Stderr = TStream::Closed});
  EXPECT_EQ(result.Stdout, kBanner);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), TFolderContents{});
}

TEST_F(EndToEnd, StandardOutputOnAFullDeviceFailsAtTheFirstLine) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.Stdout = TStream::FullDevice});
  // A device is written a line at a time: the first line already fails.
  ExpectReport(result.Stderr, "EInOutError", IoError(Target().FullDevice), kFirstBannerLine);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(0));
}

TEST_F(EndToEnd, StandardOutputOnTheNullDeviceIsNoFailure) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.Stdout = TStream::NullDevice});
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

// Expects one report of a refused write to a pipe without reader, with
// whichever of its numbers the platform gives.
void ExpectBrokenPipeReport(const std::string& stderrText, const TCheckSite& site) {
  const std::optional<TParsedReport> report = ParseReport(stderrText);
  ASSERT_TRUE(report.has_value()) << stderrText;
  std::string message = IoError(Target().BrokenPipe.front());
  for (const std::int32_t code : Target().BrokenPipe) {
    if (report->MessageLine == IoError(code)) message = report->MessageLine;
  }
  ExpectReport(stderrText, "EInOutError", message, site);
}

TEST_F(EndToEnd, APipeWithoutReaderFailsAtTheFirstBlockWithOneReport) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.Stdout = TStream::PipeReaderGone});
  // The banner, record 1's two lines and its "(" make the first 128 bytes:
  // record 1 is renamed before its note line fails. The rest of that line is
  // held again, so the report step's flush is refused too, and that failure
  // is the one reported.
  ExpectBrokenPipeReport(result.Stderr, kReportFlush);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Signal, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(1));
}

TEST_F(EndToEnd, APipeWithoutReaderAtTheReportsFlushGivesOneReport) {
  const TRunResult result = Run({.Stdout = TStream::PipeReaderGone});
  // The banner is still held when the open of the list fails.
  ExpectBrokenPipeReport(result.Stderr, kReportFlush);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Signal, 0);
}

TEST_F(EndToEnd, AFailureOnTheNewNameLineEndsTheRunBeforeThatRename) {
  // Record 1's new name line ends exactly at byte 128 of the output.
  std::string list = AlbumList(27);
  list.replace(list.find("[Mix/1]"), 7, "[Mix/1x]");
  folder_.Write("KARSV.txt", list);
  folder_.Write(Source(1), Audio(1));
  const TRunResult result = Run({.Stdout = TStream::PipeReaderGone});
  ExpectBrokenPipeReport(result.Stderr, kNewNameLine);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), (TFolderContents{{"KARSV.txt", list}, {Source(1), Audio(1)}}));
}

TEST_F(EndToEnd, ARefusedLastWriteIsAFailureAndTheRenamesStay) {
  if (!TargetIsPosix()) GTEST_SKIP() << "needs a file size limit";
  MakeAlbum(folder_);
  const std::string output = AlbumOutput();
  const std::size_t blocks = output.size() / 128 * 128;
  ASSERT_NE(blocks, output.size());
  const TRunResult result = Run({.Stdout = TStream::File, .FileSizeLimit = blocks});
  EXPECT_EQ(result.Stdout, output.substr(0, blocks));
  ExpectReport(result.Stderr, "EInOutError", IoError(Target().FileTooLarge), kFinalFlush);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

// As from "ulimit -f 0; karsvren > out": the limit refuses the first write,
// and the refusal is reported, not a death by signal.
TEST_F(EndToEnd, OutputOverTheFileSizeLimitIsReportedAsAFailure) {
  if (!TargetIsPosix()) GTEST_SKIP() << "needs a file size limit";
  MakeAlbum(folder_);
  const TRunResult result = Run({.Stdout = TStream::File, .FileSizeLimit = 0});
  EXPECT_EQ(result.Signal, 0);
  EXPECT_EQ(result.Stdout, "");
  ExpectReport(result.Stderr, "EInOutError", IoError(Target().FileTooLarge), kReportFlush);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(1));
}

// A pipe that its reader has set non-blocking refuses writes for a while
// (EAGAIN): the program waits and loses nothing.
TEST_F(EndToEnd, ANonBlockingOutputReadSlowlyLosesNothing) {
  MakeAlbum(folder_);
  const TRunResult result = Run({.OutputNonBlocking = true});
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(27));
}

TEST_F(EndToEnd, ALineTooLongForMemoryIsReportedAsOutOfMemory) {
  if (!TargetIsPosix()) GTEST_SKIP() << "needs an address-space limit";
  if (Target().Emulated) GTEST_SKIP() << "an address-space limit would bind the emulator itself";
  if (std::getenv("KARSVREN_SANITIZED") != nullptr) {
    GTEST_SKIP() << "a sanitized program reserves more address space than the limit";
  }
  std::string list(100 * 1024 * 1024, 'x');
  list += "\r\n";
  folder_.Write("KARSV.txt", list);
  list.clear();
  list.shrink_to_fit();
  const TRunResult result = Run({.AddressSpaceLimit = 64u * 1024 * 1024});
  EXPECT_EQ(result.Stdout, kBanner);
  ExpectReport(result.Stderr, "EOutOfMemory", "Out of memory.", kMemoryRequest);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Signal, 0);
}

}  // namespace
}  // namespace karsvren::e2e
