#include "folder.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace karsvren::e2e {

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

TFolderContents ContentsOf(const std::filesystem::path& folder) {
  TFolderContents contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).generic_string();
    if (entry.is_directory()) {
      contents[name + "/"] = "";
    } else {
      std::ifstream file(entry.path(), std::ios::binary);
      contents[name] = std::string(std::istreambuf_iterator<char>(file), {});
    }
  }
  return contents;
}

}  // namespace

namespace {

// Where test folders are made: KARSVREN_TMPDIR, else the system's temporary
// folder. (TMPDIR is left to the programs run, wine's server among them.)
std::filesystem::path TestFolderBase() {
  const char* asked = std::getenv("KARSVREN_TMPDIR");
  return asked != nullptr ? std::filesystem::path(asked) : std::filesystem::temp_directory_path();
}

}  // namespace

TFolder::TFolder() {
  std::string pattern = (TestFolderBase() / "karsvren-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TFolder::~TFolder() {
  std::error_code ignored;
  // A test may have taken the rights away; give them back to clean up.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

void TFolder::Write(const std::string& name, const std::string& content) const {
  WriteFile(path_ / name, content);
}

void TFolder::MakeDirectory(const std::string& name) const {
  std::filesystem::create_directories(path_ / name);
}

void TFolder::SetModified(const std::string& name, long long seconds) const {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  if (utimensat(AT_FDCWD, (path_ / name).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot set the time of " + name);
  }
}

TFolderContents TFolder::Contents() const { return ContentsOf(path_); }

const TFileSystemTraits& TestFolderFileSystem() {
  static const TFileSystemTraits traits = [] {
    const TFolder probe;
    TFileSystemTraits found;
    for (const char* name : {"*", "t?", "back\\slash", "caf\xE9"}) {
      const int fd = open((probe.Path() / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd < 0) found.AnyByteNames = false;
      if (fd >= 0) close(fd);
    }
    found.SymbolicLinks = symlink("nowhere", (probe.Path() / "link").c_str()) == 0;
    const std::filesystem::path file = probe.Path() / "mode";
    WriteFile(file, "");
    struct stat status {};
    found.PermissionBits =
        chmod(file.c_str(), 0640) == 0 && stat(file.c_str(), &status) == 0 && (status.st_mode & 07777) == 0640;
    return found;
  }();
  return traits;
}

TOtherFolder::TOtherFolder(const TFolder& near) {
  const char* asked = std::getenv("KARSVREN_OTHER_TMPDIR");
  const std::filesystem::path base = asked != nullptr ? asked : "/dev/shm";
  std::string pattern = (base / "karsvren-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    whyNot_ = "no folder can be made in " + base.string();
    return;
  }
  struct stat here {}, there {};
  if (stat(near.Path().c_str(), &here) != 0 || stat(pattern.c_str(), &there) != 0 ||
      here.st_dev == there.st_dev) {
    std::filesystem::remove_all(pattern);
    whyNot_ = base.string() + " is on the same file system as " + near.Path().string();
    return;
  }
  path_ = pattern;
}

TOtherFolder::~TOtherFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void TOtherFolder::Write(const std::string& name, const std::string& content) const {
  WriteFile(path_ / name, content);
}

TFolderContents TOtherFolder::Contents() const { return ContentsOf(path_); }

}  // namespace karsvren::e2e
