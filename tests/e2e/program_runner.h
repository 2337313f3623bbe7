// Runs the built program as a user would: in a folder of real files, with
// its standard output and error on real pipes, files, devices, or closed.
#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace karsvren::e2e {

enum class TStream {
  Pipe,           // captured through a pipe
  File,           // redirected to a regular file, read back afterwards
  FullDevice,     // /dev/full: every write fails for lack of space
  NullDevice,     // /dev/null
  Closed,         // no descriptor at all
  PipeReaderGone  // a pipe whose reading end is closed before the start
};

struct TRunRequest {
  std::filesystem::path Folder;
  std::vector<std::string> Arguments;
  TStream Stdout = TStream::Pipe;
  TStream Stderr = TStream::Pipe;
  std::optional<rlim_t> AddressSpaceLimit;  // bytes
  std::optional<rlim_t> FileSizeLimit;      // bytes, with SIGXFSZ ignored
};

struct TRunResult {
  std::string Stdout;  // what the pipe or file received
  std::string Stderr;
  int ExitCode = -1;   // -1 when the process ended by a signal
  int Signal = 0;
};

// The program under test and the command that launches it: the environment
// variables KARSVREN_PROGRAM and KARSVREN_LAUNCHER (words separated by
// blanks, such as "wine"), set by the test registration.
const std::filesystem::path& ProgramPath();

TRunResult RunProgram(const TRunRequest& request);

}  // namespace karsvren::e2e
