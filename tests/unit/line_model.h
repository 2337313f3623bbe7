// The line rules of the track list on a whole buffer, and the real reader
// run over the same bytes, for the tests and the fuzzer to compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karsvren::testing {

inline constexpr std::size_t kValuesInList = 162;

// The data ends at the first Ctrl-Z, lines end at LF, no CR is part of a
// value, missing lines are empty.
std::vector<std::string> ModelValues(const std::string& bytes);

// The 162 values as the run reads them, with every read cut at `chunk`
// bytes; `pendingError` is the code the reading left.
std::vector<std::string> ReaderValues(const std::string& bytes, std::size_t chunk,
                                      std::int32_t& pendingError);

}  // namespace karsvren::testing
