#include "run/renaming_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "failure/guard.h"
#include "fake_platform.h"

namespace karsvren {
namespace {

using testing::TFakePlatform;
using testing::TFakePlatformScope;

const std::string kBanner =
    "Karsivo Music Files renamer.\r\n"
    "by -=QUELLAN=-\r\n"
    "exclusive.4.wendrix: Wendrix by KEL, DOR\r\n"
    "\r\n";

// Record n: source "tNN.wav", name parts "Artist N", "Title N", "[Mix/N]".
std::string Source(int record) {
  return "t" + std::string(record < 10 ? "0" : "") + std::to_string(record) + ".wav";
}
std::string NewName(int record) {
  return "Artist " + std::to_string(record) + " - Title " + std::to_string(record) + " - Mix-" +
         std::to_string(record);
}
std::string ListOf(int records) {
  std::string list;
  for (int record = 1; record <= records; ++record) {
    const std::string n = std::to_string(record);
    list += Source(record) + "\r\nArtist " + n + "\r\nnote " + n + "\r\nTitle " + n + "\r\n[Mix/" +
            n + "]\r\nspare " + n + "\r\n";
  }
  return list;
}
std::string ReportOf(int record) {
  return Source(record) + "\r\n" + NewName(record) + "\r\n(note " + std::to_string(record) + ")\r\n\r\n";
}
std::string EmptyReport() { return "\r\n -  - \r\n()\r\n\r\n"; }

// Runs the program as main does, on the fake.
int RunProgram(TFakePlatform& fake) {
  const int exitCode = RunGuarded(&RenamingRun);
  ProgramEnd(exitCode);
  EXPECT_EQ(fake.ExitCode, exitCode);
  return exitCode;
}

void AddSources(TFakePlatform& fake, int records) {
  for (int record = 1; record <= records; ++record) fake.Entries[Source(record)] = {};
}

TEST(RenamingRun, PrintsTheBannerAndFourLinesPerRecordAndRenamesEveryFoundFile) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(27);
  AddSources(fake, 27);
  EXPECT_EQ(RunProgram(fake), 0);

  std::string expected = kBanner;
  for (int record = 1; record <= 27; ++record) expected += ReportOf(record);
  EXPECT_EQ(fake.Stdout, expected);
  EXPECT_TRUE(fake.Stderr.empty());
  EXPECT_EQ(fake.Entries.size(), 27u);
  for (int record = 1; record <= 27; ++record) {
    EXPECT_EQ(fake.Entries.count(NewName(record) + ".wav"), 1u) << record;
  }
  EXPECT_FALSE(fake.ListOpen);
}

TEST(RenamingRun, WritesBlocksOf128ToAFileAndReadsTheListOnceInOrder) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(30);  // lines past the 162nd are not read
  EXPECT_EQ(RunProgram(fake), 0);
  const std::size_t total = fake.Stdout.size();
  ASSERT_EQ(fake.WriteSizes.size(), total / 128 + 1);
  for (std::size_t call = 0; call + 1 < fake.WriteSizes.size(); ++call) EXPECT_EQ(fake.WriteSizes[call], 128u);
  EXPECT_EQ(fake.WriteSizes.back(), total % 128);
  const std::size_t listBytes = ListOf(27).size();
  EXPECT_EQ(fake.ReadCalls, (listBytes + 127) / 128);
  // open, the reads, the close: in this order, and nothing read after the close
  const std::vector<std::string> list = fake.LogOf("open list");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(fake.Log.back(), "end 0");
}

TEST(RenamingRun, OnACharacterDeviceWritesEachLineAsItEnds) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.StdoutIsCharacterDevice = true;
  EXPECT_EQ(RunProgram(fake), 0);
  EXPECT_EQ(fake.WriteSizes.size(), 112u);
}

TEST(RenamingRun, AnEmptyListGives27EmptyRecordsAndNoRename) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.Entries[" -  - .wav"] = {};
  EXPECT_EQ(RunProgram(fake), 0);
  std::string expected = kBanner;
  for (int record = 1; record <= 27; ++record) expected += EmptyReport();
  EXPECT_EQ(fake.Stdout, expected);
  EXPECT_TRUE(fake.LogOf("move").empty());
}

TEST(RenamingRun, AShortListIsReadToItsEndAndTheRestIsEmpty) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(10);
  EXPECT_EQ(RunProgram(fake), 0);
  std::string expected = kBanner;
  for (int record = 1; record <= 10; ++record) expected += ReportOf(record);
  for (int record = 11; record <= 27; ++record) expected += EmptyReport();
  EXPECT_EQ(fake.Stdout, expected);
}

TEST(RenamingRun, RenamesOnlyFilesThatTheExistenceTestFinds) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(4);
  fake.Entries[Source(1)] = {.IsDirectory = true};
  fake.Entries[Source(2)] = {.LastWrite = 1979};
  fake.Entries[Source(3)] = {.LastWrite = 2108};
  fake.Entries[Source(4)] = {.LastWrite = 2107};
  EXPECT_EQ(RunProgram(fake), 0);
  EXPECT_EQ(fake.LogOf("move"),
            std::vector<std::string>{"move " + Source(4) + " -> " + NewName(4) + ".wav"});
}

TEST(RenamingRun, ARefusedMoveChangesNothingInTheOutput) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(2);
  AddSources(fake, 2);
  fake.Entries[NewName(1) + ".wav"] = {};  // the target exists already
  EXPECT_EQ(RunProgram(fake), 0);
  EXPECT_EQ(fake.Entries.count(Source(1)), 1u);
  EXPECT_EQ(fake.Entries.count(NewName(2) + ".wav"), 1u);
  EXPECT_EQ(fake.Stdout.substr(kBanner.size(), ReportOf(1).size() + ReportOf(2).size()),
            ReportOf(1) + ReportOf(2));
}

TEST(RenamingRun, PrintsTwoLinesBeforeTheRenameAndTheNoteAfterIt) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.StdoutIsCharacterDevice = true;
  fake.List = ListOf(1);
  AddSources(fake, 1);
  EXPECT_EQ(RunProgram(fake), 0);
  const std::vector<std::string>& log = fake.Log;
  const auto move = std::find(log.begin(), log.end(), "move " + Source(1) + " -> " + NewName(1) + ".wav");
  ASSERT_NE(move, log.end());
  // banner 4 lines, then the source and the new name; the note after the move
  EXPECT_EQ(std::count(log.begin(), move, "write " + std::to_string(NewName(1).size() + 2)), 1);
  EXPECT_EQ(std::count_if(log.begin(), move, [](const std::string& line) { return line.rfind("write", 0) == 0; }), 6);
}

struct TFailureCase {
  const char* Name;
  void (*Script)(TFakePlatform&);
  std::string Stdout;  // what reaches standard output
  const char* MessageLine;
  std::vector<std::string> Moves;
};

void PrintTo(const TFailureCase& failure, std::ostream* out) { *out << failure.Name; }

class RunFailures : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(RunFailures, EndWithOneReportAndExitCode1) {
  TFakePlatformScope scope;
  TFakePlatform& fake = scope.Fake();
  fake.List = ListOf(27);
  AddSources(fake, 27);
  GetParam().Script(fake);
  EXPECT_EQ(RunProgram(fake), 1);
  EXPECT_EQ(fake.Stdout, GetParam().Stdout);
  const std::string& report = fake.Stderr;
  EXPECT_EQ(report.rfind("Exception EInOutError in module karsvren at ", 0), 0u) << report;
  EXPECT_EQ(report.substr(report.find(".\r\n") + 3), std::string(GetParam().MessageLine) + "\r\n\r\n");
  EXPECT_EQ(fake.StderrWrites, 2u);
  EXPECT_EQ(fake.LogOf("move"), GetParam().Moves);
}

std::vector<std::string> MovesUpTo(int records) {
  std::vector<std::string> moves;
  for (int record = 1; record <= records; ++record) {
    moves.push_back("move " + Source(record) + " -> " + NewName(record) + ".wav");
  }
  return moves;
}

std::string ReportsUpTo(int records) {
  std::string text = kBanner;
  for (int record = 1; record <= records; ++record) text += ReportOf(record);
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Run, RunFailures,
    ::testing::Values(
        TFailureCase{"NoList", [](TFakePlatform& fake) { fake.List.reset(); }, kBanner,
                     "File not found.", {}},
        TFailureCase{"ListLockedByAnother",
                     [](TFakePlatform& fake) {
                       fake.List.reset();
                       fake.OpenError = 32;
                     },
                     kBanner, "I/O error 32.", {}},
        TFailureCase{"StandardOutputUnusable", [](TFakePlatform& fake) { fake.StdoutUsable = false; },
                     "", "I/O error 105.", {}},
        // Record 11 begins exactly at this byte: records 1 to 10 are renamed.
        TFailureCase{"ReadRefusedAtRecord11",
                     [](TFakePlatform& fake) {
                       fake.ReadChunk = 1;
                       fake.FailReadsFromByte = ListOf(10).size();
                       fake.ReadError = 1117;
                     },
                     ReportsUpTo(10), "I/O error 1117.", MovesUpTo(10)},
        TFailureCase{"CloseRefused", [](TFakePlatform& fake) { fake.CloseError = 6; },
                     ReportsUpTo(27), "I/O error 6.", MovesUpTo(27)},
        // On a character device each line is one write: write 6 is record
        // 1's new name, which then is not renamed.
        TFailureCase{"NewNameLineRefused",
                     [](TFakePlatform& fake) {
                       fake.StdoutIsCharacterDevice = true;
                       fake.WriteFaults = {{6, 28}};
                     },
                     kBanner + Source(1) + "\r\n", "I/O error 28.", {}},
        // The final flush is checked like every other write.
        TFailureCase{"FinalFlushRefused",
                     [](TFakePlatform& fake) {
                       const std::size_t blocks = ReportsUpTo(27).size() / 128;
                       fake.WriteFaults = {{blocks + 1, 112}};
                     },
                     ReportsUpTo(27).substr(0, ReportsUpTo(27).size() / 128 * 128), "I/O error 112.",
                     MovesUpTo(27)},
        // The report's own flush is refused: that failure is the one reported.
        TFailureCase{"ReportFlushRefused",
                     [](TFakePlatform& fake) {
                       fake.List.reset();
                       fake.WriteFaults = {{1, 232}};
                     },
                     "", "I/O error 232.", {}}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace karsvren
