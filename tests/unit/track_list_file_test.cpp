#include "run/track_list_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/failure_classes.h"
#include "common/pending_error.h"
#include "fake_platform.h"
#include "line_model.h"

namespace karsvren {
namespace {

using testing::TFakePlatformScope;
using namespace std::string_literals;

using testing::kValuesInList;
using testing::ModelValues;

// Reads the 162 values as the run does, with reads cut at `chunk` bytes.
std::vector<std::string> ReaderValues(const std::string& bytes, std::size_t chunk = 128) {
  std::int32_t pendingError = 0;
  std::vector<std::string> values = testing::ReaderValues(bytes, chunk, pendingError);
  EXPECT_EQ(pendingError, 0);
  return values;
}

struct TLineCase {
  const char* Name;
  std::string Bytes;
  std::vector<std::string> FirstValues;  // the rest are empty
};

std::vector<std::string> Padded(std::vector<std::string> values) {
  values.resize(kValuesInList);
  return values;
}

void PrintTo(const TLineCase& line, std::ostream* out) { *out << line.Name; }

class LineRules : public ::testing::TestWithParam<TLineCase> {};

TEST_P(LineRules, GiveTheValuesOfTheLines) {
  const TLineCase& line = GetParam();
  EXPECT_EQ(ReaderValues(line.Bytes), Padded(line.FirstValues));
}

TEST_P(LineRules, DoNotDependOnWhereTheReadsAreCut) {
  const TLineCase& line = GetParam();
  for (std::size_t chunk = 1; chunk <= 128; ++chunk) {
    ASSERT_EQ(ReaderValues(line.Bytes, chunk), Padded(line.FirstValues)) << "reads of " << chunk;
  }
}

TEST_P(LineRules, AgreeWithTheWholeBufferModel) {
  EXPECT_EQ(ModelValues(GetParam().Bytes), Padded(GetParam().FirstValues));
}

const std::string k127 = std::string(127, 'x');

INSTANTIATE_TEST_SUITE_P(
    TrackListFile, LineRules,
    ::testing::Values(
        TLineCase{"EmptyFile", "", {}},
        TLineCase{"LfEnds", "a\nb\nc\n", {"a", "b", "c"}},
        TLineCase{"CrLfEnds", "a\r\nb\r\nc\r\n", {"a", "b", "c"}},
        TLineCase{"MixedEnds", "a\r\nb\nc\r\n", {"a", "b", "c"}},
        TLineCase{"LastLineWithoutEnd", "a\nlast", {"a", "last"}},
        TLineCase{"EmptyLines", "\n\r\n\nx\n", {"", "", "", "x"}},
        TLineCase{"CrAloneIsNoLineEnd", "a\rb\rc\r", {"abc"}},
        TLineCase{"CrInsideALine", "a\rb\nc\n", {"ab", "c"}},
        TLineCase{"TwoCrsBeforeLf", "a\r\r\nb\n", {"a", "b"}},
        TLineCase{"CtrlZEndsTheData", "a\nb\x1A" "c\nd\n", {"a", "b"}},
        TLineCase{"CtrlZAtLineStart", "a\n\x1A\nb\n", {"a"}},
        TLineCase{"CtrlZThenLineEnds", "a\x1A\r\n\r\n", {"a"}},
        TLineCase{"CrBeforeCtrlZ", "a\r\x1A", {"a"}},
        TLineCase{"NulTabsSpacesAndHighBytes", " \t\0\x80\xFF \n"s, {" \t\0\x80\xFF "s}},
        TLineCase{"ByteOrderMark", "\xEF\xBB\xBFt.wav\n", {"\xEF\xBB\xBFt.wav"}},
        // The line end falls across two 128-byte reads: CR last of the first
        // block, LF first of the second.
        TLineCase{"CrLfSplitAcrossBlocks", k127 + "\r\nnext\n", {k127, "next"}},
        TLineCase{"LfFirstOfSecondBlock", std::string(128, 'y') + "\nnext", {std::string(128, 'y'), "next"}},
        TLineCase{"LongLine", std::string(1000, 'z') + "\n", {std::string(1000, 'z')}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(TrackListFile, ReadsOnly162LinesOfALongerList) {
  std::string list;
  for (int line = 1; line <= 200; ++line) list += std::to_string(line) + "\r\n";
  const std::vector<std::string> values = ReaderValues(list);
  EXPECT_EQ(values.front(), "1");
  EXPECT_EQ(values.back(), "162");
}

TEST(TrackListFile, FetchesBlocksOf128OnlyWhenTheBlockIsUsedUp) {
  TFakePlatformScope scope;
  scope.Fake().List = std::string(300, 'a') + "\n";
  TTrackListFile reader;
  reader.OpenTrackList();
  Text value;
  reader.ReadFieldValue(value);
  EXPECT_EQ(value.size(), 300u);
  EXPECT_EQ(scope.Fake().LogOf("read"), (std::vector<std::string>{"read 128", "read 128", "read 128"}));
  reader.SkipToNextLine();
  reader.ReadFieldValue(value);  // the end of the data: one more read, which gives 0
  reader.ReadFieldValue(value);  // ...and no read after it
  EXPECT_EQ(scope.Fake().ReadCalls, 4u);
  EXPECT_EQ(scope.Fake().LogOf("open list"), std::vector<std::string>{"open list KARSV.txt"});
}

TEST(TrackListFile, OpenFailureLeavesTheCodeAndNoRead) {
  TFakePlatformScope scope;
  scope.Fake().List.reset();
  scope.Fake().OpenError = 32;
  TTrackListFile reader;
  reader.OpenTrackList();
  EXPECT_EQ(TakePendingError(), 32);
  EXPECT_EQ(scope.Fake().ReadCalls, 0u);
}

TEST(TrackListFile, CloseFailureLeavesTheCode) {
  TFakePlatformScope scope;
  scope.Fake().CloseError = 6;
  TTrackListFile reader;
  reader.OpenTrackList();
  reader.CloseTrackList();
  EXPECT_EQ(TakePendingError(), 6);
}

TEST(TrackListFile, BrokenPipeIsTheEndOfTheData) {
  TFakePlatformScope scope;
  scope.Fake().List = std::string("a\nb\n");
  scope.Fake().FailReadsFromByte = 0;
  scope.Fake().ReadError = platform::kBrokenPipe;
  TTrackListFile reader;
  reader.OpenTrackList();
  Text value = "old";
  reader.ReadFieldValue(value);
  reader.SkipToNextLine();
  EXPECT_EQ(value, "");
  EXPECT_EQ(PendingError(), 0);
  EXPECT_EQ(scope.Fake().ReadCalls, 1u);
}

TEST(TrackListFile, RefusedReadEndsTheStepAndTheNextStepReadsAgain) {
  TFakePlatformScope scope;
  scope.Fake().List = std::string("abc\ndef\n");
  scope.Fake().ReadChunk = 2;
  scope.Fake().FailReadsFromByte = 2;
  scope.Fake().ReadError = 1117;
  TTrackListFile reader;
  reader.OpenTrackList();
  Text value;
  reader.ReadFieldValue(value);
  EXPECT_EQ(value, "ab");
  EXPECT_EQ(PendingError(), 1117);
  reader.SkipToNextLine();  // tries again, and fails again
  EXPECT_EQ(scope.Fake().ReadCalls, 3u);
  EXPECT_EQ(TakePendingError(), 1117);
}

TEST(TrackListFile, ReadTrackRecordFillsTheFieldsInFileOrder) {
  TFakePlatformScope scope;
  scope.Fake().List = std::string("src\np1\nnote\np2\n[p3]\nspare\nnext\n");
  TTrackListFile reader;
  reader.OpenTrackList();
  TTrackRecord record;
  reader.ReadTrackRecord(record);
  EXPECT_EQ(record.SourceName, "src");
  EXPECT_EQ(record.NamePart1, "p1");
  EXPECT_EQ(record.Note, "note");
  EXPECT_EQ(record.NamePart2, "p2");
  EXPECT_EQ(record.NamePart3, "[p3]");
  EXPECT_EQ(record.Spare, "spare");
  reader.ReadTrackRecord(record);  // nothing of the first record survives
  EXPECT_EQ(record.SourceName, "next");
  EXPECT_EQ(record.Spare, "");
}

TEST(TrackListFile, ReadTrackRecordRaisesAtTheFirstFailedLineAndReadsNoFurther) {
  TFakePlatformScope scope;
  scope.Fake().List = std::string("src\np1\nnote\np2\n[p3]\nspare\n");
  scope.Fake().ReadChunk = 1;
  scope.Fake().FailReadsFromByte = 5;  // inside the line of NamePart1
  scope.Fake().ReadError = 23;
  TTrackListFile reader;
  reader.OpenTrackList();
  TTrackRecord record;
  record.Note = "untouched";
  try {
    reader.ReadTrackRecord(record);
    FAIL() << "no failure raised";
  } catch (const TRaisedFailure& raised) {
    const auto* failure = dynamic_cast<EInOutError*>(raised.Failure);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->ErrorCode(), 23);
    EXPECT_EQ(failure->Message(), "I/O error 23");
    delete raised.Failure;
  }
  EXPECT_EQ(record.SourceName, "src");
  EXPECT_EQ(record.NamePart1, "p");
  EXPECT_EQ(record.Note, "untouched");
  EXPECT_EQ(PendingError(), 0);
}

}  // namespace
}  // namespace karsvren
