// The POSIX move against real file systems: across two of them a file
// arrives whole or not at all, and the source goes only when it is the file
// that was copied, unchanged and held by no writer.
#include "platform/safe_move_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/platform.h"

namespace karsvren::platform {
namespace {

namespace fs = std::filesystem;

fs::path MakeFolder(const fs::path& base) {
  std::string pattern = (base / "karsvren-move-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// A source folder on tmpfs and a target folder on the disk of the temporary
// folder: two file systems.
class MoveAcross : public ::testing::Test {
 protected:
  void SetUp() override {
    NativePlatform().DeclareConsoleProgram();  // the signals the program ignores
    from_ = MakeFolder("/dev/shm");
    to_ = MakeFolder(fs::temp_directory_path());
    struct stat one {}, other {};
    if (from_.empty() || to_.empty() || stat(from_.c_str(), &one) != 0 || stat(to_.c_str(), &other) != 0 ||
        one.st_dev == other.st_dev) {
      GTEST_SKIP() << "needs /dev/shm and the temporary folder on two file systems";
    }
    source_ = from_ / "track.wav";
    target_ = to_ / "A - B - c.wav";
    std::ofstream(source_, std::ios::binary) << content_;
    chmod(source_.c_str(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1000000000, 123}};
    utimensat(AT_FDCWD, source_.c_str(), times, 0);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!from_.empty()) fs::remove_all(from_, ignored);
    if (!to_.empty()) fs::remove_all(to_, ignored);
  }

  bool Move() {
    struct stat status {};
    if (lstat(source_.c_str(), &status) != 0) return false;
    return MoveWithoutReplacing(source_.c_str(), target_.c_str(), status);
  }

  // The source as it was, and no trace of the copy in the target folder.
  void ExpectNotMoved(const std::set<std::string>& targetFolder = {}) {
    EXPECT_EQ(ReadWhole(source_), content_);
    EXPECT_EQ(Names(to_), targetFolder);
  }

  const std::string content_ = std::string(300000, 'a') + "end";
  fs::path from_, to_, source_, target_;
};

TEST_F(MoveAcross, ArrivesWholeWithItsModeAndTimeAndLeavesNothingElse) {
  ASSERT_TRUE(Move());
  EXPECT_FALSE(fs::exists(source_));
  EXPECT_EQ(ReadWhole(target_), content_);
  EXPECT_EQ(Names(to_), std::set<std::string>{"A - B - c.wav"});
  struct stat moved {};
  ASSERT_EQ(stat(target_.c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 07777, 0640u);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(moved.st_mtim.tv_nsec, 123);
}

TEST_F(MoveAcross, NeverReplacesAnExistingTarget) {
  std::ofstream(target_) << "kept";
  EXPECT_FALSE(Move());
  ExpectNotMoved({"A - B - c.wav"});
  EXPECT_EQ(ReadWhole(target_), "kept");
}

TEST_F(MoveAcross, IntoAFolderThatDoesNotExistMovesNothing) {
  target_ = to_ / "absent" / "x.wav";
  EXPECT_FALSE(Move());
  ExpectNotMoved();
}

TEST_F(MoveAcross, ASourceThatAnotherProgramHoldsOpenForWritingStays) {
  const pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const int fd = open(source_.c_str(), O_WRONLY | O_APPEND);
    pause();
    _exit(fd >= 0 ? 0 : 1);
  }
  // Until the writer has the file open.
  for (int tries = 0; tries < 500; ++tries) {
    const std::string fds = "/proc/" + std::to_string(writer) + "/fd";
    bool open = false;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(fds, ignored)) {
      open = open || fs::read_symlink(entry.path(), ignored) == source_;
    }
    if (open) break;
    usleep(10000);
  }
  EXPECT_FALSE(Move());
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
  ExpectNotMoved();
}

TEST_F(MoveAcross, ACopyOverTheFileSizeLimitIsRemovedAndTheSourceKept) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit lowered{100000, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
  const bool moved = Move();
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(moved);
  ExpectNotMoved();
}

TEST_F(MoveAcross, ALinkIsNotCopied) {
  fs::remove(source_);
  fs::create_symlink(from_ / "elsewhere", source_);
  EXPECT_FALSE(Move());
  EXPECT_TRUE(fs::is_symlink(source_));
  EXPECT_EQ(Names(to_), std::set<std::string>{});
}

}  // namespace
}  // namespace karsvren::platform
