// Faults that a real system gives only rarely, put into the platform layer of
// an otherwise unchanged program: a read of the list that fails in the middle,
// and a target that appears between the existence test and the move.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "album.h"
#include "failure_report_check.h"
#include "folder.h"
#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {

const TCheckSite kFirstLineOfARecord{"track_list_file.cpp",
                                     "ReadFieldValue(record.SourceName); SkipToNextLine(); CheckPendingError();"};

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("KARSVREN_FAULT_INJECTION_PROGRAM");
    if (!TargetIsPosix() || program == nullptr) {
      GTEST_SKIP() << "the program with faults put in is a native build";
    }
    program_ = program;
  }
  TRunResult Run(std::vector<std::string> environment) {
    return RunProgram({.Folder = folder_.Path(), .Program = program_, .Environment = std::move(environment)});
  }
  std::filesystem::path program_;
  TFolder folder_;
};

TEST_F(Faults, AReadThatFailsAtRecord11LeavesRecords1To10Renamed) {
  MakeAlbum(folder_);
  const std::size_t record11 = AlbumList(10).size();
  const TRunResult result = Run({"KARSVREN_FAULT_READ_AT=" + std::to_string(record11)});
  std::string printed = kBanner;
  for (int record = 1; record <= 10; ++record) printed += ReportLines(record);
  EXPECT_EQ(result.Stdout, printed);
  ExpectReport(result.Stderr, "EInOutError", IoError(1117), kFirstLineOfARecord, program_);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(10));
}

TEST_F(Faults, AReadRefusedWithAnyCodeIsReportedWithIt) {
  MakeAlbum(folder_);
  const TRunResult result = Run({"KARSVREN_FAULT_READ_AT=0", "KARSVREN_FAULT_READ_ERROR=13"});
  EXPECT_EQ(result.Stdout, kBanner);
  ExpectReport(result.Stderr, "EInOutError", IoError(13), kFirstLineOfARecord, program_);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(folder_.Contents(), AlbumAfter(0));
}

TEST_F(Faults, ATargetThatAppearsBeforeTheMoveIsNotReplaced) {
  MakeAlbum(folder_);
  const TRunResult result = Run({"KARSVREN_FAULT_TARGET_RACE=1"});
  EXPECT_EQ(result.Stdout, AlbumOutput());
  EXPECT_EQ(result.ExitCode, 0);
  TFolderContents expected = AlbumAfter(0);
  for (int record = 1; record <= 27; ++record) expected[NewName(record) + ".wav"] = "racer";
  EXPECT_EQ(folder_.Contents(), expected);
}

}  // namespace
}  // namespace karsvren::e2e
