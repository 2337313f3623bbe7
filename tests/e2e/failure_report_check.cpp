#include "failure_report_check.h"

#include <cstdio>
#include <fstream>
#include <regex>

#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {

std::optional<TParsedReport> ParseReport(const std::string& text) {
  static const std::regex kReport(
      "Exception ([A-Za-z]+) in module ([^\r\n]+) at ([0-9A-F]{8})\\.\r\n([^\r\n]*)\r\n\r\n");
  std::smatch match;
  if (!std::regex_match(text, match, kReport)) return std::nullopt;
  return TParsedReport{match[1], match[2], match[3], match[4]};
}

TSourceLine ResolveOffset(const std::string& offset) {
  const unsigned long long address = std::stoull(offset, nullptr, 16) + Target().ImageBase;
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%llx", address);
  const std::string command = std::string(Target().Addr2Line) + " -e '" + ProgramPath().string() +
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

}  // namespace karsvren::e2e
