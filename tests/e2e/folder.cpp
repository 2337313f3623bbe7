#include "folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace karsvren::e2e {

TFolder::TFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "karsvren-e2e-XXXXXX").string();
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
  std::ofstream file(path_ / name, std::ios::binary);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) throw std::runtime_error("cannot write " + name);
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

TFolderContents TFolder::Contents() const {
  TFolderContents contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
    const std::string name = entry.path().lexically_relative(path_).generic_string();
    if (entry.is_directory()) {
      contents[name + "/"] = "";
    } else {
      std::ifstream file(entry.path(), std::ios::binary);
      contents[name] = std::string(std::istreambuf_iterator<char>(file), {});
    }
  }
  return contents;
}

}  // namespace karsvren::e2e
