// Reading a failure report back: its pieces, and the source line that its
// location names.
#pragma once

#include <optional>
#include <string>

namespace karsvren::e2e {

struct TParsedReport {
  std::string ClassName;
  std::string ModuleName;
  std::string Offset;       // the eight hexadecimal digits
  std::string MessageLine;  // with its full stop
};

// The report's pieces when `text` is exactly one three-line report.
std::optional<TParsedReport> ParseReport(const std::string& text);

// The source line ("path:line" and the line's text) that addr2line gives for
// a report's offset in the program file; empty when it cannot be resolved.
struct TSourceLine {
  std::string Place;
  std::string Text;
};
TSourceLine ResolveOffset(const std::string& offset);

}  // namespace karsvren::e2e
