#include "failure/failure_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/check_pending_error.h"
#include "common/memory_request.h"
#include "common/pending_error.h"
#include "failure/guard.h"
#include "failure/io_message_table.h"
#include "fake_platform.h"
#include "run/console_channel.h"

namespace karsvren {
namespace {

using testing::TFakePlatformScope;

const void* AtOffset(std::uintptr_t loadAddress, std::uintptr_t offset) {
  return reinterpret_cast<const void*>(loadAddress + offset);
}

std::string Formatted(const Exception& failure, const void* location) {
  char text[kFailureReportCapacity + 1];
  const std::size_t length = FormatFailureReport(failure, location, text);
  EXPECT_EQ(text[length], '\0');
  return std::string(text, length);
}

struct TMessageCase {
  std::int32_t ErrorCode;
  const char* Message;
};

void PrintTo(const TMessageCase& message, std::ostream* out) { *out << message.ErrorCode; }

class IoMessages : public ::testing::TestWithParam<TMessageCase> {};

TEST_P(IoMessages, ComeFromTheTableOrTheNumber) {
  EXPECT_EQ(IoMessageTable(GetParam().ErrorCode), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IoMessages,
    ::testing::Values(TMessageCase{2, "File not found"}, TMessageCase{3, "Invalid filename"},
                      TMessageCase{4, "Too many open files"}, TMessageCase{5, "File access denied"},
                      TMessageCase{100, "Read beyond end of file"}, TMessageCase{101, "Disk full"},
                      TMessageCase{106, "Invalid numeric input"}, TMessageCase{32, "I/O error 32"},
                      TMessageCase{105, "I/O error 105"}, TMessageCase{112, "I/O error 112"},
                      TMessageCase{1, "I/O error 1"}, TMessageCase{-7, "I/O error -7"},
                      TMessageCase{2147483647, "I/O error 2147483647"},
                      TMessageCase{-2147483647 - 1, "I/O error -2147483648"}));

TEST(MakeIoFailure, TakesThePendingCodeAndSetsItBackToZero) {
  RecordPendingError(5);
  RecordPendingError(32);  // the later code replaces the earlier
  EInOutError* failure = MakeIoFailure();
  EXPECT_EQ(failure->ErrorCode(), 32);
  EXPECT_EQ(failure->Message(), "I/O error 32");
  EXPECT_STREQ(failure->ClassName(), "EInOutError");
  EXPECT_EQ(PendingError(), 0);
  delete failure;
}

TEST(CheckPendingError, DoesNothingWhileNoCodeIsPending) {
  EXPECT_NO_THROW(CheckPendingError());
}

// Raises the failure pending with `code` from a check of its own and
// returns the failure's location.
const void* TakeLocation(const TRaisedFailure& raised, std::int32_t code) {
  const auto* failure = dynamic_cast<const EInOutError*>(raised.Failure);
  EXPECT_NE(failure, nullptr);
  if (failure != nullptr) {
    EXPECT_EQ(failure->ErrorCode(), code);
  }
  delete raised.Failure;
  return raised.Location;
}

TEST(CheckPendingError, RaisesWithTheLocationOfItsCallSite) {
  const void* first = nullptr;
  const void* second = nullptr;
  RecordPendingError(2);
  try {
    CheckPendingError();
  } catch (const TRaisedFailure& raised) {
    first = TakeLocation(raised, 2);
  }
  RecordPendingError(32);
  try {
    CheckPendingError();
  } catch (const TRaisedFailure& raised) {
    second = TakeLocation(raised, 32);
  }
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(PendingError(), 0);
}

TEST(FailureReport, HasTheClassTheModuleTheOffsetAndTheMessage) {
  TFakePlatformScope scope;
  EInOutError failure("File not found", 2);
  EXPECT_EQ(Formatted(failure, AtOffset(0x10000, 0x2A5C)),
            "Exception EInOutError in module karsvren at 00002A5C.\r\nFile not found.\r\n");
  EXPECT_EQ(Formatted(SharedOutOfMemory(), AtOffset(0x10000, 0xABCDEF12)),
            "Exception EOutOfMemory in module karsvren at ABCDEF12.\r\nOut of memory.\r\n");
}

TEST(FailureReport, PutsAFullStopOnlyAfterAMessageWithoutOne) {
  TFakePlatformScope scope;
  const void* location = AtOffset(0x10000, 0x10);
  EXPECT_EQ(Formatted(Exception("ends."), location),
            "Exception Exception in module karsvren at 00000010.\r\nends.\r\n");
  EXPECT_EQ(Formatted(Exception(""), location),
            "Exception Exception in module karsvren at 00000010.\r\n\r\n");
}

TEST(FailureReport, ModuleNameIsWhatFollowsTheLastSeparatorOfWholeCharacters) {
  TFakePlatformScope scope;
  scope.Fake().Separator = '\\';
  scope.Fake().LeadByte = 0x81;
  // 0x81 0x5C is one character whose second byte is no backslash.
  scope.Fake().ModulePath = "C:\\tools\\x\x81\\karsvren.exe";
  EXPECT_EQ(Formatted(EInOutError("m", 1), AtOffset(0x10000, 1)),
            "Exception EInOutError in module x\x81\\karsvren.exe at 00000001.\r\nm.\r\n");
  scope.Fake().ModulePath = "karsvren.exe";
  EXPECT_EQ(Formatted(EInOutError("m", 1), AtOffset(0x10000, 1)),
            "Exception EInOutError in module karsvren.exe at 00000001.\r\nm.\r\n");
}

TEST(FailureReport, IsCutAt1023Bytes) {
  TFakePlatformScope scope;
  const std::string report = Formatted(Exception(std::string(2000, 'm')), AtOffset(0x10000, 1));
  EXPECT_EQ(report.size(), kFailureReportCapacity);
  EXPECT_EQ(report.back(), 'm');
}

TEST(ReportFailure, FlushesStandardOutputFirstThenWritesTheReportInTwoWrites) {
  TFakePlatformScope scope;
  ConsoleChannel().WriteText("held");
  EInOutError failure("File not found", 2);
  ReportFailure(failure, AtOffset(0x10000, 0x2A5C));
  EXPECT_EQ(scope.Fake().Log,
            (std::vector<std::string>{"open stdout", "write 4", "to OEM", "stderr 72", "stderr 2"}));
  EXPECT_EQ(scope.Fake().Stdout, "held");
  EXPECT_EQ(scope.Fake().Stderr,
            "Exception EInOutError in module karsvren at 00002A5C.\r\nFile not found.\r\n\r\n");
}

TEST(ReportFailure, ConvertsTheReportToTheConsoleCodePage) {
  TFakePlatformScope scope;
  scope.Fake().ModulePath = "/bin/k\xE4rsvren";
  ReportFailure(EInOutError("x", 1), AtOffset(0x10000, 1));
  EXPECT_EQ(scope.Fake().Stderr,
            "Exception EInOutError in module k\x84rsvren at 00000001.\r\nx.\r\n\r\n");
}

// A run for the guard: prints, then fails with the given code.
std::int32_t gFailWith = 0;
void PrintThenFail() {
  ConsoleChannel().WriteText("printed");
  ConsoleChannel().EndLine();
  RecordPendingError(gFailWith);
  CheckPendingError();
}

TEST(Guard, ReturnsZeroWhenTheRunEnds) {
  TFakePlatformScope scope;
  EXPECT_EQ(RunGuarded([] {}), 0);
  EXPECT_TRUE(scope.Fake().Stderr.empty());
  EXPECT_EQ(scope.Fake().Log.front(), "console program");
}

TEST(Guard, ReportsAnEscapedFailureAfterTheRunsOutput) {
  TFakePlatformScope scope;
  gFailWith = 2;
  EXPECT_EQ(RunGuarded(&PrintThenFail), 1);
  EXPECT_EQ(scope.Fake().Stdout, "printed\r\n");
  EXPECT_EQ(scope.Fake().StderrWrites, 2u);
  EXPECT_NE(scope.Fake().Stderr.find(".\r\nFile not found.\r\n\r\n"), std::string::npos);
}

TEST(Guard, ReportsARefusedReportFlushInsteadOfTheFirstFailureOnce) {
  TFakePlatformScope scope;
  scope.Fake().WriteFaults = {{1, 232}};
  gFailWith = 2;
  EXPECT_EQ(RunGuarded(&PrintThenFail), 1);
  EXPECT_EQ(scope.Fake().StderrWrites, 2u);
  const std::string& report = scope.Fake().Stderr;
  EXPECT_NE(report.find(".\r\nI/O error 232.\r\n\r\n"), std::string::npos) << report;
  EXPECT_EQ(report.find("File not found"), std::string::npos);
  EXPECT_EQ(scope.Fake().LogOf("last-chance filter").size(), 2u);
}

TEST(Guard, WritesNoReportWhenThePlatformTakesTheFailureOver) {
  TFakePlatformScope scope;
  scope.Fake().LastChanceFilterContinues = false;
  gFailWith = 2;
  EXPECT_EQ(RunGuarded(&PrintThenFail), 1);
  EXPECT_TRUE(scope.Fake().Stderr.empty());
}

// Any request that cannot be met, the program's own or one made inside a
// library, is reported at the program's memory request.
TEST(Guard, ReportsExhaustedMemoryWithTheSharedFailureAtTheMemoryRequest) {
  TFakePlatformScope scope;
  scope.Fake().LoadAddress = reinterpret_cast<std::uintptr_t>(MemoryRequestLocation()) - 0x1234;
  EXPECT_EQ(RunGuarded([] {
              ConsoleChannel().WriteText("before");
              throw std::bad_alloc();
            }),
            1);
  EXPECT_EQ(scope.Fake().Stdout, "before");
  EXPECT_EQ(scope.Fake().Stderr,
            "Exception EOutOfMemory in module karsvren at 00001234.\r\nOut of memory.\r\n\r\n");
}

}  // namespace
}  // namespace karsvren
