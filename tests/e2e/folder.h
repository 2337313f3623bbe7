// A temporary folder of real files for one run of the program, and what it
// holds before and after. Test folders are made below KARSVREN_TMPDIR, or
// the system's temporary folder when that is not set.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace karsvren::e2e {

// Names relative to the folder, "/" between directories; a directory's name
// ends with "/" and has no content.
using TFolderContents = std::map<std::string, std::string>;

class TFolder {
 public:
  TFolder();
  ~TFolder();
  TFolder(const TFolder&) = delete;
  TFolder& operator=(const TFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, const std::string& content) const;
  void MakeDirectory(const std::string& name) const;
  // Sets the modification time, in seconds since 1970 (UTC).
  void SetModified(const std::string& name, long long seconds) const;
  TFolderContents Contents() const;

 private:
  std::filesystem::path path_;
};

// What the file system of the test folders can hold, found by trying.
struct TFileSystemTraits {
  bool AnyByteNames = true;    // "*", "?", "\" and bytes that are no UTF-8
  bool SymbolicLinks = true;
  bool PermissionBits = true;  // a file's mode is kept as set
};
const TFileSystemTraits& TestFolderFileSystem();

// A temporary folder on another file system than the test folders, for
// moves across file systems: below KARSVREN_OTHER_TMPDIR, /dev/shm when that
// is not set. Path() is empty when there is none; WhyNot() says why.
class TOtherFolder {
 public:
  explicit TOtherFolder(const TFolder& near);
  ~TOtherFolder();
  TOtherFolder(const TOtherFolder&) = delete;
  TOtherFolder& operator=(const TOtherFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  const std::string& WhyNot() const { return whyNot_; }
  void Write(const std::string& name, const std::string& content) const;
  TFolderContents Contents() const;

 private:
  std::filesystem::path path_;
  std::string whyNot_;
};

}  // namespace karsvren::e2e
