#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace karsvren::e2e {
namespace {

std::vector<std::string> LauncherWords() {
  std::vector<std::string> words;
  const char* launcher = std::getenv("KARSVREN_LAUNCHER");
  std::istringstream stream(launcher != nullptr ? launcher : "");
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// What the child's descriptor `target` becomes, prepared in the parent.
struct TPreparedStream {
  int ChildEnd = -1;   // dup2'ed onto the target; -1 for Closed
  int ParentEnd = -1;  // read by the parent (Pipe)
  std::filesystem::path File;
};

TPreparedStream Prepare(TStream kind, const std::filesystem::path& folder, const char* name) {
  TPreparedStream stream;
  int ends[2];
  switch (kind) {
    case TStream::Pipe:
    case TStream::PipeReaderGone:
      if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
      stream.ChildEnd = ends[1];
      stream.ParentEnd = ends[0];
      if (kind == TStream::PipeReaderGone) {
        close(ends[0]);
        stream.ParentEnd = -1;
      }
      break;
    case TStream::File:
      // Beside the folder, so that the program's folder holds only its own.
      stream.File = folder.parent_path() / (folder.filename().string() + "." + name);
      stream.ChildEnd = open(stream.File.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      break;
    case TStream::FullDevice:
      stream.ChildEnd = open("/dev/full", O_WRONLY | O_CLOEXEC);
      break;
    case TStream::NullDevice:
      stream.ChildEnd = open("/dev/null", O_WRONLY | O_CLOEXEC);
      break;
    case TStream::ReadOnly:
      stream.ChildEnd = open("/dev/null", O_RDONLY | O_CLOEXEC);
      break;
    case TStream::Closed:
      break;
  }
  return stream;
}

// Reads both pipes to their end without letting either fill up.
void Drain(int out, int err, std::string& outText, std::string& errText) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  std::string* texts[2] = {&outText, &errText};
  char buffer[65536];
  for (;;) {
    bool any = false;
    for (pollfd& fd : fds) any = any || fd.fd >= 0;
    if (!any) return;
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll");
    }
    for (int index = 0; index < 2; ++index) {
      if (fds[index].fd < 0 || fds[index].revents == 0) continue;
      const ssize_t got = read(fds[index].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[index]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[index].fd);
        fds[index].fd = -1;
      }
    }
  }
}

// Fills a pipe to its capacity; returns how many bytes that took.
std::size_t FillPipe(int writeEnd) {
  const int flags = fcntl(writeEnd, F_GETFL);
  fcntl(writeEnd, F_SETFL, flags | O_NONBLOCK);
  const std::string filler(4096, '#');
  std::size_t total = 0;
  for (;;) {
    const ssize_t put = write(writeEnd, filler.data(), filler.size());
    if (put <= 0) break;
    total += static_cast<std::size_t>(put);
  }
  fcntl(writeEnd, F_SETFL, flags);
  return total;
}

// Waits until a thread of the process sleeps in a write to a full pipe.
void WaitForBlockedPipeWrite(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
      std::ifstream wchan(task.path() / "wchan");
      std::string where;
      std::getline(wchan, where);
      if (where.find("pipe_write") != std::string::npos) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("the program never blocked on its output");
}

// Starts argv in `folder` with the given descriptors as 0, 1 and 2 (-1:
// /dev/null); the descriptors are the parent's, closed in the child only.
pid_t Start(const std::filesystem::path& folder, std::vector<std::string> words, int in, int out,
            int err) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    const int nullDevice = open("/dev/null", O_RDWR);
    dup2(in >= 0 ? in : nullDevice, 0);
    dup2(out >= 0 ? out : nullDevice, 1);
    dup2(err >= 0 ? err : nullDevice, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

int Wait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Launched(std::vector<std::string> arguments) {
  std::vector<std::string> words = LauncherWords();
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

}  // namespace

TBackgroundProgram::TBackgroundProgram(const std::filesystem::path& folder,
                                       std::vector<std::string> arguments) {
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = Start(folder, Launched(std::move(arguments)), input[0], output[1], -1);
  close(input[0]);
  close(output[1]);
  input_ = input[1];
  output_ = output[0];
}

TBackgroundProgram::~TBackgroundProgram() {
  if (pid_ > 0) Finish();
}

std::string TBackgroundProgram::ReadLine() {
  std::string line;
  char byte = 0;
  while (read(output_, &byte, 1) == 1 && byte != '\n') {
    if (byte != '\r') line += byte;
  }
  return line;
}

int TBackgroundProgram::Finish() {
  close(input_);
  close(output_);
  const int code = Wait(pid_);
  pid_ = -1;
  return code;
}

int RunBeside(const std::filesystem::path& folder, std::vector<std::string> arguments) {
  return Wait(Start(folder, Launched(std::move(arguments)), -1, -1, -1));
}

const std::filesystem::path& ProgramPath() {
  static const std::filesystem::path path = [] {
    const char* program = std::getenv("KARSVREN_PROGRAM");
    if (program == nullptr) throw std::runtime_error("KARSVREN_PROGRAM is not set");
    return std::filesystem::absolute(program);
  }();
  return path;
}

TRunResult RunProgram(const TRunRequest& request) {
  std::vector<std::string> words = LauncherWords();
  words.push_back(request.Program.empty() ? ProgramPath().string() : request.Program.string());
  const std::string file = words.front();
  if (request.Argv0 && words.size() == 1) words.front() = *request.Argv0;
  words.insert(words.end(), request.Arguments.begin(), request.Arguments.end());
  std::vector<std::string> environment = request.Environment;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  TPreparedStream out = Prepare(request.Stdout, request.Folder, "stdout");
  TPreparedStream err = Prepare(request.Stderr, request.Folder, "stderr");
  const bool fill = (request.WhileOutputIsBlocked || request.OutputNonBlocking) && request.Stdout == TStream::Pipe;
  const std::size_t filler = fill ? FillPipe(out.ChildEnd) : 0;
  if (request.OutputNonBlocking) fcntl(out.ChildEnd, F_SETFL, fcntl(out.ChildEnd, F_GETFL) | O_NONBLOCK);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    // Only async-signal-safe calls from here to the exec. A shell starts a
    // program with default signal dispositions and nothing blocked, whatever
    // the test runner has set for itself.
    for (int number = 1; number < NSIG; ++number) signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int nullInput = open("/dev/null", O_RDONLY);
    dup2(nullInput, 0);
    const TPreparedStream* streams[2] = {&out, &err};
    for (int target = 1; target <= 2; ++target) {
      const int from = streams[target - 1]->ChildEnd;
      if (from < 0) {
        close(target);
      } else {
        dup2(from, target);
      }
    }
    if (request.AddressSpaceLimit) {
      const rlimit limit{*request.AddressSpaceLimit, *request.AddressSpaceLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (request.FileSizeLimit) {
      const rlimit limit{*request.FileSizeLimit, *request.FileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (request.AsUnprivilegedUser && geteuid() == 0) {
      const gid_t nobody = 65534;
      if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(125);
    }
    for (std::string& setting : environment) putenv(setting.data());
    if (chdir(request.Folder.c_str()) != 0) _exit(126);
    execvp(file.c_str(), argv.data());
    _exit(127);
  }

  for (TPreparedStream* stream : {&out, &err}) {
    if (stream->ChildEnd >= 0) close(stream->ChildEnd);
  }
  TRunResult result;
  if (filler > 0 && request.OutputNonBlocking) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  } else if (filler > 0) {
    WaitForBlockedPipeWrite(child);
    request.WhileOutputIsBlocked();
  }
  Drain(out.ParentEnd, err.ParentEnd, result.Stdout, result.Stderr);
  result.Stdout.erase(0, filler);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.ExitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.Signal = WTERMSIG(status);
  }
  if (!out.File.empty()) {
    result.Stdout = ReadWhole(out.File);
    std::filesystem::remove(out.File);
  }
  if (!err.File.empty()) {
    result.Stderr = ReadWhole(err.File);
    std::filesystem::remove(err.File);
  }
  return result;
}

}  // namespace karsvren::e2e
