#include "run/name_composition.h"

namespace karsvren {
namespace {

constexpr TextView kSeparator = " - ";
constexpr TextView kExtension = ".wav";

}  // namespace

void ComposeNewName(const TTrackRecord& record, Text& newName) {
  newName.clear();
  newName.reserve(record.NamePart1.size() + record.NamePart2.size() +
                  record.NamePart3.size() + 2 * kSeparator.size());
  newName.append(record.NamePart1)
      .append(kSeparator)
      .append(record.NamePart2)
      .append(kSeparator)
      .append(record.NamePart3);
}

Text MakeTargetName(const Text& newName) {
  Text targetName;
  targetName.reserve(newName.size() + kExtension.size());
  targetName.append(newName).append(kExtension);
  return targetName;
}

}  // namespace karsvren
