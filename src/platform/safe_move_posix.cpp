#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include "platform/safe_move_posix.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace karsvren::platform {
namespace {

bool SameFile(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool SameTime(const struct timespec& one, const struct timespec& other) {
  return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

// The same file, not written to and not changed in any other way.
bool Unchanged(const struct stat& before, const struct stat& now) {
  return SameFile(before, now) && before.st_size == now.st_size &&
         SameTime(before.st_mtim, now.st_mtim) && SameTime(before.st_ctim, now.st_ctim);
}

// Whether `name` names the file `expected` right now.
bool Names(const char* name, const struct stat& expected) {
  struct stat now {};
  return lstat(name, &now) == 0 && SameFile(now, expected);
}

// The folder that holds an entry: "." for a name without one.
std::string FolderOf(const std::string& name) {
  const std::string::size_type slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

// A descriptor that is closed when it goes out of scope.
class TDescriptor {
 public:
  explicit TDescriptor(int fd) : fd_(fd) {}
  ~TDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Writes what a folder's entries have become to the disk. File systems that
// cannot sync a folder (some answer EINVAL) keep their entries in step
// anyway, so that is no failure.
bool SyncFolder(const std::string& folder) {
  const TDescriptor descriptor(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!descriptor.IsOpen()) return false;
  if (fsync(descriptor.Get()) == 0) return true;
  return errno == EINVAL || errno == ENOSYS || errno == ENOTSUP || errno == EROFS;
}

bool RenameFlagsUnsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

bool HardLinksUnsupported(int error) {
  return error == EPERM || error == ENOTSUP || error == ENOSYS || error == EMLINK;
}

enum class TRenamed { Yes, Refused, OtherFileSystem };

// Renames `from`, the file `identity`, to `to` on one file system, never
// replacing an entry that exists.
TRenamed RenameWithoutReplacing(const char* from, const char* to, const struct stat& identity) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return TRenamed::Yes;
  if (errno == EXDEV) return TRenamed::OtherFileSystem;
  if (!RenameFlagsUnsupported(errno)) return TRenamed::Refused;

  // The file system does not know RENAME_NOREPLACE: a hard link fails when
  // the target exists, as the move must. The old name goes only while both
  // names hold the file that was tested.
  if (link(from, to) == 0) {
    if (Names(to, identity) && Names(from, identity) && unlink(from) == 0) return TRenamed::Yes;
    // Take the new link back only while the old name still holds the same
    // file: removing it then loses nothing.
    struct stat linked {};
    struct stat old {};
    if (lstat(to, &linked) == 0 && lstat(from, &old) == 0 && SameFile(linked, old)) unlink(to);
    return TRenamed::Refused;
  }
  if (errno == EXDEV) return TRenamed::OtherFileSystem;
  if (!HardLinksUnsupported(errno)) return TRenamed::Refused;

  // Neither is known here (exFAT through FUSE, for one). No call can then
  // refuse an existing target, so the check comes right before the rename,
  // with every other step done before it: a target that another program
  // makes between these two calls would be replaced.
  struct stat existing {};
  if (!Names(from, identity)) return TRenamed::Refused;
  if (lstat(to, &existing) == 0 || errno != ENOENT) return TRenamed::Refused;
  return rename(from, to) == 0 ? TRenamed::Yes : TRenamed::Refused;
}

// A read lease on the source while it is copied: the system refuses it while
// another program has the file open for writing, and breaks it when one
// opens the file for writing later on.
enum class TLease { Held, NotAllowed, WriterPresent };

TLease TakeReadLease(int fd) {
  if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0) return TLease::Held;
  return errno == EAGAIN ? TLease::WriterPresent : TLease::NotAllowed;
}

bool LeaseStillHeld(int fd) { return fcntl(fd, F_GETLEASE) == F_RDLCK; }

// The copy under way: an unnamed file in the target's folder where the file
// system allows one, otherwise a hidden file of a unique name. Until it is
// given its name, no trace of it stays behind.
class TCopyFile {
 public:
  TCopyFile(const std::string& folder, mode_t mode) {
    fd_ = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return;
    std::string pattern = (folder == "/" ? "" : folder) + "/.karsvren-copy-XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ >= 0) temporaryName_ = pattern;
  }

  ~TCopyFile() {
    if (!temporaryName_.empty()) {
      struct stat own {};
      if (fstat(fd_, &own) == 0 && Names(temporaryName_.c_str(), own)) unlink(temporaryName_.c_str());
    }
    if (fd_ >= 0) close(fd_);
  }

  TCopyFile(const TCopyFile&) = delete;
  TCopyFile& operator=(const TCopyFile&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Gives the finished copy the name `target`, never replacing an entry.
  bool GiveName(const char* target) {
    struct stat own {};
    if (fstat(fd_, &own) != 0) return false;
    if (!temporaryName_.empty()) {
      if (RenameWithoutReplacing(temporaryName_.c_str(), target, own) != TRenamed::Yes) return false;
      temporaryName_.clear();
      return true;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT || Names(target, own)) return false;
    // Without /proc: by the descriptor itself, where that is allowed.
    return linkat(fd_, "", AT_FDCWD, target, AT_EMPTY_PATH) == 0;
  }

  // Takes the name back after a failure later on, while it still names this
  // copy.
  void TakeNameBack(const char* target) {
    struct stat own {};
    if (fstat(fd_, &own) == 0 && Names(target, own)) unlink(target);
  }

 private:
  int fd_ = -1;
  std::string temporaryName_;
};

bool CopyWithReadAndWrite(int in, int out) {
  static char buffer[128 * 1024];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

bool CopyCallUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Copies the bytes in the kernel where it can (copy_file_range, which may
// share the blocks, then sendfile), by reads and writes where not. Each way
// goes on from where the one before stopped.
bool CopyBytes(int in, int out) {
  constexpr std::size_t kMost = 1 << 30;
  for (;;) {
    const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, kMost, 0);
    if (copied == 0) return true;
    if (copied > 0 || errno == EINTR) continue;
    if (!CopyCallUnsupported(errno)) return false;
    break;
  }
  for (;;) {
    const ssize_t sent = sendfile(out, in, nullptr, kMost);
    if (sent == 0) return true;
    if (sent > 0 || errno == EINTR) continue;
    if (!CopyCallUnsupported(errno)) return false;
    break;
  }
  return CopyWithReadAndWrite(in, out);
}

bool CopyAcross(const char* source, const char* target, const struct stat& status) {
  if (!S_ISREG(status.st_mode)) return false;
  // Non-blocking: where another program holds a lease on the source, the
  // open fails at once instead of waiting for that program.
  const TDescriptor in(open(source, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
  if (!in.IsOpen()) return false;
  struct stat before {};
  if (fstat(in.Get(), &before) != 0 || !SameFile(before, status)) return false;
  const TLease lease = TakeReadLease(in.Get());
  if (lease == TLease::WriterPresent) return false;

  const std::string targetFolder = FolderOf(target);
  const mode_t mode = before.st_mode & 07777;
  TCopyFile copy(targetFolder, mode);
  if (!copy.IsOpen()) return false;
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  if (!CopyBytes(in.Get(), copy.Get()) || fchmod(copy.Get(), mode) != 0 ||
      futimens(copy.Get(), times) != 0 || fsync(copy.Get()) != 0) {
    return false;
  }

  // The source must still be the file that was copied, unchanged; the copy
  // gets its name only then, and the source goes only after the copy's name
  // has reached the disk and the source has been found unchanged once more.
  const auto sourceUnchanged = [&] {
    struct stat now {};
    return fstat(in.Get(), &now) == 0 && Unchanged(before, now) &&
           (lease != TLease::Held || LeaseStillHeld(in.Get())) && Names(source, before);
  };
  if (!sourceUnchanged() || !copy.GiveName(target)) return false;
  if (!SyncFolder(targetFolder) || !sourceUnchanged() || unlink(source) != 0) {
    copy.TakeNameBack(target);
    SyncFolder(targetFolder);
    return false;
  }
  SyncFolder(FolderOf(source));
  if (lease == TLease::Held) fcntl(in.Get(), F_SETLEASE, F_UNLCK);
  return true;
}

}  // namespace

bool MoveWithoutReplacing(const char* source, const char* target, const struct stat& status) {
  switch (RenameWithoutReplacing(source, target, status)) {
    case TRenamed::Yes: return true;
    case TRenamed::Refused: return false;
    case TRenamed::OtherFileSystem: return CopyAcross(source, target, status);
  }
  return false;
}

}  // namespace karsvren::platform
