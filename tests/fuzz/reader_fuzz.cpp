// Any bytes, read through the real track list reader with its reads cut at
// every size from 1 to 128 bytes, give the values of the whole-buffer model,
// and no value holds LF, CR or Ctrl-Z.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "line_model.h"

namespace {

[[noreturn]] void Fail(const char* what, std::size_t chunk) {
  std::fprintf(stderr, "%s (reads of %zu bytes)\n", what, chunk);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> model = karsvren::testing::ModelValues(bytes);
  for (const std::string& value : model) {
    if (value.find_first_of("\n\r\x1A") != std::string::npos) Fail("the model keeps a line end", 0);
  }
  for (std::size_t chunk = 1; chunk <= 128; ++chunk) {
    std::int32_t pendingError = 0;
    if (karsvren::testing::ReaderValues(bytes, chunk, pendingError) != model) Fail("values differ", chunk);
    if (pendingError != 0) Fail("an error code was left", chunk);
  }
  return 0;
}
