// The platform layer on POSIX systems (Linux first).
//
// It gives the native program the behaviour of the Windows build: the
// program's error numbers for the common failures, "\" and "/" both as
// directory separators, a track list that cannot be renamed while it is open,
// and a move that never replaces an existing entry.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <limits.h>
#include <signal.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/error_code_posix.h"
#include "platform/platform.h"
#include "platform/safe_move_posix.h"

namespace karsvren::platform {
namespace {

// No path longer than this names anything: a longer one is refused before it
// is copied, so that a line of any length costs no second copy of itself.
bool TooLongForAPath(const char* name) { return strnlen(name, PATH_MAX) == PATH_MAX; }

// A list written on Windows separates directories with "\": both "\" and "/"
// do so here. The name ends at its first NUL byte.
std::string FileSystemName(const char* name) {
  std::string path(name);
  for (char& byte : path) {
    if (byte == '\\') byte = '/';
  }
  return path;
}

struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

class TPosixPlatform final : public IPlatform {
 public:
  void DeclareConsoleProgram() override {
    // A write to a pipe whose reader has gone, and one past the file size
    // limit, are refused writes, not the end of the process. A read lease
    // that another program breaks is checked by the move, not signalled.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGIO, SIG_IGN);
    // A standard descriptor that is closed at start stays closed for the
    // program, but its number is taken, so that no file the program opens
    // can land on it and receive output meant for the console.
    for (int fd = 0; fd <= 2; ++fd) {
      if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
        const int placeholder = open("/dev/null", O_RDONLY);
        if (placeholder == fd) {
          closedAtStart_[fd] = true;
        } else if (placeholder >= 0) {
          close(placeholder);
        }
      }
    }
  }

  void EndProcess(int exitCode) override { std::exit(exitCode); }

  void AdviseLargeBlock(void* block, std::size_t size) override {
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(page - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  }

  bool OpenStandardOutput(Handle& handle, bool& isCharacterDevice) override {
    if (closedAtStart_[STDOUT_FILENO]) return false;
    struct stat status {};
    if (fstat(STDOUT_FILENO, &status) != 0) return false;
    const int flags = fcntl(STDOUT_FILENO, F_GETFL);
    if (flags == -1 || (flags & O_ACCMODE) == O_RDONLY) return false;
    handle = STDOUT_FILENO;
    isCharacterDevice = S_ISCHR(status.st_mode);
    return true;
  }

  std::int32_t Write(Handle handle, const char* bytes, std::size_t count) override {
    while (count > 0) {
      const ssize_t written = write(static_cast<int>(handle), bytes, count);
      if (written < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          // A descriptor set non-blocking by whoever shares it: wait until it
          // takes bytes again.
          pollfd writable{static_cast<int>(handle), POLLOUT, 0};
          if (poll(&writable, 1, -1) >= 0 || errno == EINTR) continue;
        }
        return ProgramErrorCode(errno);
      }
      bytes += written;
      count -= static_cast<std::size_t>(written);
    }
    return 0;
  }

  std::int32_t OpenForReading(const char* name, Handle& handle) override {
    const int fd = open(FileSystemName(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return ProgramErrorCode(errno);
    struct stat status {};
    if (fstat(fd, &status) != 0) {
      const int error = errno;
      close(fd);
      return ProgramErrorCode(error);
    }
    if (S_ISDIR(status.st_mode)) {  // a directory is no file to read
      close(fd);
      return 5;
    }
    openForReading_ = TFileIdentity{status.st_dev, status.st_ino};
    openForReadingFd_ = fd;
    handle = fd;
    return 0;
  }

  std::int32_t Read(Handle handle, char* block, std::size_t capacity,
                    std::size_t& count) override {
    for (;;) {
      const ssize_t got = read(static_cast<int>(handle), block, capacity);
      if (got >= 0) {
        count = static_cast<std::size_t>(got);
        return 0;
      }
      if (errno != EINTR) return ProgramErrorCode(errno);
    }
  }

  std::int32_t Close(Handle handle) override {
    const int fd = static_cast<int>(handle);
    if (fd == openForReadingFd_) openForReadingFd_ = -1;
    // After an interrupted close the descriptor is gone all the same.
    if (close(fd) != 0 && errno != EINTR) return ProgramErrorCode(errno);
    return 0;
  }

  bool FindEntry(const char* name, TFoundEntry& entry) override {
    if (*name == '\0' || TooLongForAPath(name)) return false;
    struct stat status {};
    const std::string path = FileSystemName(name);
    if (lstat(path.c_str(), &status) != 0) return false;
    // A link to a directory counts as a directory, as on Windows; its time
    // is the link's own.
    struct stat followed {};
    entry.IsDirectory = S_ISDIR(status.st_mode) ||
                        (S_ISLNK(status.st_mode) && stat(path.c_str(), &followed) == 0 &&
                         S_ISDIR(followed.st_mode));
    entry.LastWrite = status.st_mtim.tv_sec;
    return true;
  }

  // Local time is the last-write time moved by the offset from UTC in force
  // now, not the one in force at the file's date: a file's local time then
  // agrees with the Windows build's in every zone and at every date.
  bool FitsDosDateTime(std::int64_t lastWrite) override {
    const time_t now = time(nullptr);
    struct tm localNow {};
    if (localtime_r(&now, &localNow) == nullptr) return false;
    const time_t seconds = static_cast<time_t>(lastWrite + localNow.tm_gmtoff);
    struct tm local {};
    if (gmtime_r(&seconds, &local) == nullptr) return false;
    const long year = 1900L + local.tm_year;
    return year >= 1980 && year <= 2107;
  }

  bool MoveEntry(const char* from, const char* to) override {
    // The move takes no pattern.
    if (std::strpbrk(from, "*?") != nullptr) return false;
    if (TooLongForAPath(from) || TooLongForAPath(to)) return false;
    const std::string source = FileSystemName(from);
    const std::string target = FileSystemName(to);
    struct stat status {};
    if (lstat(source.c_str(), &status) != 0) return false;
    // The open track list is shared for reading only: it is not renamed.
    if (openForReadingFd_ >= 0 &&
        TFileIdentity{status.st_dev, status.st_ino} == openForReading_) {
      return false;
    }
    return MoveWithoutReplacing(source.c_str(), target.c_str(), status);
  }

  bool OfferToLastChanceFilter(const void*) override { return true; }

  // The loader names the main program by the argv[0] it was started with;
  // its file is the one the system started, /proc/self/exe. Shared objects
  // keep the loader's path, which is their file's.
  bool FindModule(const void* address, TModule& module) override {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return false;
    Dl_info program{};
    const void* entry = reinterpret_cast<const void*>(getauxval(AT_ENTRY));
    const bool inProgram = dladdr(entry, &program) != 0 && program.dli_fbase == info.dli_fbase;
    const ssize_t length =
        inProgram ? readlink("/proc/self/exe", module.Path, kModulePathCapacity) : -1;
    if (length > 0) {
      module.Path[length] = '\0';
    } else {
      std::strncpy(module.Path, info.dli_fname, kModulePathCapacity);
      module.Path[kModulePathCapacity] = '\0';
    }
    module.LoadAddress = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    return true;
  }

  char ModulePathSeparator() override { return '/'; }
  bool IsLeadByte(unsigned char) override { return false; }
  void ConvertToOemCodePage(char*) override {}  // the terminal shows the program's bytes

  void WriteStandardError(const char* bytes, std::size_t count) override {
    if (closedAtStart_[STDERR_FILENO]) return;
    Write(STDERR_FILENO, bytes, count);
  }

 private:
  bool closedAtStart_[3] = {false, false, false};
  TFileIdentity openForReading_{};
  int openForReadingFd_ = -1;
};

}  // namespace

IPlatform& NativePlatform() {
  static TPosixPlatform platform;
  return platform;
}

}  // namespace karsvren::platform
