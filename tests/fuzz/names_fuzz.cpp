// Any three name parts: the clean-up and the composition follow their rules,
// checked against a model written from the rules themselves.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/name_cleanup.h"
#include "run/name_composition.h"

namespace {

// Without its first and last byte; the input's first "/" becomes "-" when it
// lies between them.
std::string ModelCleanUp(const std::string& part) {
  if (part.size() < 3) return "";
  std::string middle = part.substr(1, part.size() - 2);
  const std::size_t slash = part.find('/');
  if (slash != std::string::npos && slash >= 1 && slash <= part.size() - 2) middle[slash - 1] = '-';
  return middle;
}

void Expect(bool holds, const char* rule) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", rule);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  karsvren::TTrackRecord record;
  record.NamePart1 = provider.ConsumeRandomLengthString(64);
  record.NamePart2 = provider.ConsumeRandomLengthString(64);
  record.NamePart3 = provider.ConsumeRemainingBytesAsString();
  const std::string asRead = record.NamePart3;

  karsvren::CleanUpNamePart3(record.NamePart3);
  Expect(record.NamePart3 == ModelCleanUp(asRead), "clean-up");
  Expect(record.NamePart3.size() == (asRead.size() < 2 ? 0 : asRead.size() - 2), "two bytes fewer");

  std::string newName = "stale";
  karsvren::ComposeNewName(record, newName);
  Expect(newName == record.NamePart1 + " - " + record.NamePart2 + " - " + record.NamePart3, "composition");
  Expect(newName.size() == record.NamePart1.size() + record.NamePart2.size() + record.NamePart3.size() + 6,
         "length");
  const std::string target = karsvren::MakeTargetName(newName);
  Expect(target.size() == newName.size() + 4 && target.compare(0, newName.size(), newName) == 0 &&
             target.compare(newName.size(), 4, ".wav") == 0,
         "target name");
  return 0;
}
