#include <gtest/gtest.h>

#include "run/name_cleanup.h"
#include "run/name_composition.h"

namespace karsvren {
namespace {

struct TCleanUpCase {
  const char* AsRead;
  const char* Cleaned;
};

void PrintTo(const TCleanUpCase& cleanUp, std::ostream* out) { *out << '"' << cleanUp.AsRead << '"'; }

class NamePart3CleanUp : public ::testing::TestWithParam<TCleanUpCase> {};

TEST_P(NamePart3CleanUp, ReplacesTheFirstSlashAndDropsBothEnds) {
  Text namePart3 = GetParam().AsRead;
  CleanUpNamePart3(namePart3);
  EXPECT_EQ(namePart3, GetParam().Cleaned) << "as read: \"" << GetParam().AsRead << '"';
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, NamePart3CleanUp,
                         ::testing::Values(TCleanUpCase{"", ""}, TCleanUpCase{"a", ""},
                                           TCleanUpCase{"ab", ""}, TCleanUpCase{"abc", "b"},
                                           TCleanUpCase{"[a/b]", "a-b"}, TCleanUpCase{"[a-b]", "a-b"},
                                           TCleanUpCase{"(x/y/z)", "x-y/z"}, TCleanUpCase{"/", ""},
                                           TCleanUpCase{"a/", ""}, TCleanUpCase{"/ab", "a"},
                                           TCleanUpCase{"ab/", "b"}, TCleanUpCase{"/a/b/", "a/b"},
                                           TCleanUpCase{"a//b", "-/"},
                                           // a two-byte character loses one byte only
                                           TCleanUpCase{"\x82\xA0x\x82\xA0", "\xA0x\x82"},
                                           TCleanUpCase{"[ a\\b ]", " a\\b "}));

struct TCompositionCase {
  const char* NamePart1;
  const char* NamePart2;
  const char* NamePart3AsRead;
  const char* NewName;
  const char* TargetName;
};

void PrintTo(const TCompositionCase& composition, std::ostream* out) { *out << '"' << composition.NewName << '"'; }

class Composition : public ::testing::TestWithParam<TCompositionCase> {};

TEST_P(Composition, JoinsTheThreePartsAndAddsWav) {
  TTrackRecord record;
  record.NamePart1 = GetParam().NamePart1;
  record.NamePart2 = GetParam().NamePart2;
  record.NamePart3 = GetParam().NamePart3AsRead;
  record.SourceName = "source";
  record.Note = "note";
  CleanUpNamePart3(record.NamePart3);
  Text newName = "left over from the record before";
  ComposeNewName(record, newName);
  EXPECT_EQ(newName, GetParam().NewName);
  EXPECT_EQ(MakeTargetName(newName), GetParam().TargetName);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Composition,
    ::testing::Values(TCompositionCase{"A", "B", "(c/d)", "A - B - c-d", "A - B - c-d.wav"},
                      TCompositionCase{"A", "B", "", "A - B - ", "A - B - .wav"},
                      TCompositionCase{"", "", "", " -  - ", " -  - .wav"},
                      TCompositionCase{"A", "B", "[x.wav]", "A - B - x.wav", "A - B - x.wav.wav"},
                      TCompositionCase{"p1", "p2", "[p3]", "p1 - p2 - p3", "p1 - p2 - p3.wav"},
                      TCompositionCase{"A/1", "B/2", "(x/y/z)", "A/1 - B/2 - x-y/z", "A/1 - B/2 - x-y/z.wav"}));

}  // namespace
}  // namespace karsvren
