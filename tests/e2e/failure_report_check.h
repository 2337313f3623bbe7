// Reading a failure report back: its pieces, and the source line that its
// location names.
#pragma once

#include <cstdint>
#include <filesystem>
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
TSourceLine ResolveOffset(const std::string& offset, const std::filesystem::path& program);

// Where a failure is expected to have been raised: a source file and a text
// that its line holds.
struct TCheckSite {
  const char* File;
  const char* LineHolds;
};

inline const TCheckSite kFirstBannerLine{"renaming_run.cpp", "Karsivo Music Files renamer.\"); console.EndLine(); CheckPendingError();"};
inline const TCheckSite kOpenOfTheList{"renaming_run.cpp", "trackList.OpenTrackList(); CheckPendingError();"};
inline const TCheckSite kNewNameLine{"renaming_run.cpp", "console.WriteText(newName); console.EndLine(); CheckPendingError();"};
inline const TCheckSite kFinalFlush{"renaming_run.cpp", "console.Flush(); CheckPendingError();"};
inline const TCheckSite kReportFlush{"failure_report.cpp", "ConsoleChannel().Flush(); CheckPendingError();"};
inline const TCheckSite kMemoryRequest{"memory_request.cpp", "void* operator new(std::size_t size) {"};

// Expects `stderrText` to be exactly one report of this class and message
// line, naming the target's module, whose offset in `program` resolves to
// the line of `site`.
void ExpectReport(const std::string& stderrText, const char* className, const std::string& messageLine,
                  const TCheckSite& site, const std::filesystem::path& program = {});

// "I/O error <code>." as the report's message line.
std::string IoError(std::int32_t code);

}  // namespace karsvren::e2e
