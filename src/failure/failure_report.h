// The failure report on standard error:
//   "Exception <class> in module <file> at <offset>.\r\n<message><end>\r\n"
// followed by one more CR LF.
#pragma once

#include <cstddef>

#include "common/failure_classes.h"

namespace karsvren {

inline constexpr std::size_t kFailureReportCapacity = 1023;

// Fills `text` (NUL-terminated) with the report without its final CR LF, cut
// at 1023 bytes, and returns its length. Needs no memory.
std::size_t FormatFailureReport(const Exception& failure, const void* location,
                                char (&text)[kFailureReportCapacity + 1]);

// Flushes the console channel and checks it, then writes the report. A
// refused flush raises a new failure from here instead.
void ReportFailure(const Exception& failure, const void* location);

}  // namespace karsvren
