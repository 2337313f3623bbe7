#include "failure_report_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string_view>

#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {

namespace {

// Takes `expected` from the front of `text`.
bool Take(std::string_view& text, std::string_view expected) {
  if (text.substr(0, expected.size()) != expected) return false;
  text.remove_prefix(expected.size());
  return true;
}

// Takes everything up to `end` (which must follow) from the front of `text`.
bool TakeUntil(std::string_view& text, std::string_view end, std::string& piece) {
  const std::size_t at = text.find(end);
  if (at == std::string_view::npos) return false;
  piece = std::string(text.substr(0, at));
  text.remove_prefix(at + end.size());
  return true;
}

}  // namespace

std::optional<TParsedReport> ParseReport(const std::string& text) {
  // "Exception <class> in module <module> at <8 hex digits>.\r\n<message>\r\n\r\n"
  std::string_view rest = text;
  TParsedReport report;
  if (!Take(rest, "Exception ") || !TakeUntil(rest, " in module ", report.ClassName) ||
      !TakeUntil(rest, ".\r\n", report.ModuleName) || !TakeUntil(rest, "\r\n", report.MessageLine) ||
      rest != "\r\n") {
    return std::nullopt;
  }
  const std::size_t at = report.ModuleName.rfind(" at ");
  if (at == std::string::npos) return std::nullopt;
  report.Offset = report.ModuleName.substr(at + 4);
  report.ModuleName.erase(at);
  const bool hexadecimal = report.Offset.size() == 8 &&
                           report.Offset.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  const bool oneLineEach = report.ClassName.find_first_of("\r\n ") == std::string::npos &&
                           report.ModuleName.find_first_of("\r\n") == std::string::npos;
  if (!hexadecimal || !oneLineEach || report.ClassName.empty()) return std::nullopt;
  return report;
}

TSourceLine ResolveOffset(const std::string& offset, const std::filesystem::path& program) {
  const unsigned long long address = std::stoull(offset, nullptr, 16) + Target().ImageBase;
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%llx", address);
  const std::string command = std::string(Target().Addr2Line) + " -e '" + program.string() +
                              "' " + hex + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char line[4096] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  if (!got) return {};
  std::string place(line);
  place = place.substr(0, place.find_first_of(" \r\n"));  // drop "(discriminator n)"
  const std::size_t colon = place.rfind(':');
  if (colon == std::string::npos) return {place, ""};
  const std::string file = place.substr(0, colon);
  const int lineNumber = std::atoi(place.c_str() + colon + 1);
  std::ifstream source(file);
  std::string text;
  for (int at = 1; at <= lineNumber && std::getline(source, text); ++at) {
  }
  return {place, lineNumber > 0 ? text : ""};
}

void ExpectReport(const std::string& stderrText, const char* className, const std::string& messageLine,
                  const TCheckSite& site, const std::filesystem::path& program) {
  const std::optional<TParsedReport> report = ParseReport(stderrText);
  ASSERT_TRUE(report.has_value()) << "not one failure report: \"" << stderrText << '"';
  EXPECT_EQ(report->ClassName, className);
  EXPECT_EQ(report->ModuleName, Target().ModuleName);
  EXPECT_EQ(report->MessageLine, messageLine);
  const TSourceLine line = ResolveOffset(report->Offset, program.empty() ? ProgramPath() : program);
  EXPECT_NE(line.Place.find(site.File), std::string::npos) << "offset " << report->Offset << " is " << line.Place;
  EXPECT_NE(line.Text.find(site.LineHolds), std::string::npos)
      << "offset " << report->Offset << " is " << line.Place << ": " << line.Text;
}

std::string IoError(std::int32_t code) { return "I/O error " + std::to_string(code) + "."; }

}  // namespace karsvren::e2e
