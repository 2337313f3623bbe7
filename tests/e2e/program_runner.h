// Runs the built program as a user would: in a folder of real files, with
// its standard output and error on real pipes, files, devices, or closed,
// every signal at its default disposition and unblocked, and only the limits
// that a case sets on top of the caller's.
#pragma once

#include <sys/resource.h>

#include <sys/types.h>

#include <filesystem>
#include <functional>
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
  PipeReaderGone,  // a pipe whose reading end is closed before the start
  ReadOnly         // a descriptor open for reading only (/dev/null)
};

struct TRunRequest {
  std::filesystem::path Folder;
  std::filesystem::path Program;         // empty: ProgramPath()
  std::vector<std::string> Environment;  // "NAME=value", added for the run
  std::vector<std::string> Arguments;
  // The program's argv[0] when it is started without a launcher; nullopt:
  // the path it is started by.
  std::optional<std::string> Argv0;
  TStream Stdout = TStream::Pipe;
  TStream Stderr = TStream::Pipe;
  std::optional<rlim_t> AddressSpaceLimit;  // bytes
  std::optional<rlim_t> FileSizeLimit;      // bytes
  bool AsUnprivilegedUser = false;          // when run by root: as nobody
  // With Stdout a Pipe: the pipe is full before the start, so the program's
  // first write blocks; this runs once it does, and then the pipe is read.
  std::function<void()> WhileOutputIsBlocked;
  // With Stdout a Pipe: the pipe is full and set non-blocking before the
  // start, and is read only after a pause, as a slow reader would.
  bool OutputNonBlocking = false;
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

// Another program started beside the one under test, through the launcher,
// with pipes on its standard input and output.
class TBackgroundProgram {
 public:
  TBackgroundProgram(const std::filesystem::path& folder, std::vector<std::string> arguments);
  ~TBackgroundProgram();
  TBackgroundProgram(const TBackgroundProgram&) = delete;
  TBackgroundProgram& operator=(const TBackgroundProgram&) = delete;

  // One line of its output, without the line end; empty at its end.
  std::string ReadLine();
  // Closes its input and waits for it: the exit code.
  int Finish();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

// Runs a program through the launcher in `folder` and returns its exit code.
int RunBeside(const std::filesystem::path& folder, std::vector<std::string> arguments);

}  // namespace karsvren::e2e
