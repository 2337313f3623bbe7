#include "syscall_injection.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace karsvren::e2e {
namespace {

// `request` with the program started by strace, which is given `options`.
TRunRequest UnderStrace(TRunRequest request, std::vector<std::string> options) {
  options.push_back(request.Program.empty() ? ProgramPath().string() : request.Program.string());
  options.insert(options.end(), request.Arguments.begin(), request.Arguments.end());
  request.Program = "strace";
  request.Arguments = std::move(options);
  // A sanitized program's leak check cannot run under a tracer.
  request.Environment.push_back("ASAN_OPTIONS=detect_leaks=0");
  return request;
}

}  // namespace

std::optional<std::string> StraceUnusable() {
  if (std::system("strace -qq -o /dev/null -e inject=getpid:retval=1 true >/dev/null 2>&1") != 0) {
    return "strace is missing or cannot trace here (package strace; ptrace allowed)";
  }
  return std::nullopt;
}

std::map<std::string, int> SystemCallCounts(TRunRequest request) {
  char pattern[] = "/tmp/karsvren-trace-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) throw std::runtime_error("mkstemp");
  close(fd);
  RunProgram(UnderStrace(std::move(request), {"-qq", "-o", pattern}));
  std::map<std::string, int> counts;
  std::ifstream trace(pattern);
  for (std::string line; std::getline(trace, line);) {
    // "name(arguments) = result"; signals and the exit are "---" and "+++".
    const std::size_t open = line.find('(');
    if (line.empty() || line[0] == '-' || line[0] == '+' || open == std::string::npos) continue;
    ++counts[line.substr(0, open)];
  }
  std::remove(pattern);
  return counts;
}

TRunResult RunWithInjection(TRunRequest request, const std::string& inject) {
  return RunProgram(UnderStrace(std::move(request), {"-qq", "-o", "/dev/null", "-e", "inject=" + inject}));
}

}  // namespace karsvren::e2e
