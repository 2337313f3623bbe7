// The POSIX platform layer against the real system: the error numbers the
// program sees, the move that never replaces, the time range of the
// existence test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace karsvren::platform {
namespace {

namespace fs = std::filesystem;

class PosixPlatform : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "karsvren-platform-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(folder_ / name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  IPlatform& system_ = NativePlatform();
  fs::path folder_;
};

TEST_F(PosixPlatform, OpeningTheListGivesTheProgramsErrorNumbers) {
  Handle handle = kNoHandle;
  EXPECT_EQ(system_.OpenForReading(Path("absent").c_str(), handle), 2);
  Write("file", "x");
  EXPECT_EQ(system_.OpenForReading(Path("file/below").c_str(), handle), 3);
  fs::create_directory(folder_ / "directory");
  EXPECT_EQ(system_.OpenForReading(Path("directory").c_str(), handle), 5);
  if (geteuid() != 0) {
    fs::permissions(folder_ / "file", fs::perms::none);
    EXPECT_EQ(system_.OpenForReading(Path("file").c_str(), handle), 5);
  }
}

TEST_F(PosixPlatform, NoDescriptorLeftIsTooManyOpenFiles) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' checks need descriptors of their own";
#endif
  Write("list", "x");
  const int next = open("/dev/null", O_RDONLY);
  ASSERT_GE(next, 0);
  close(next);
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  const rlimit lowered{static_cast<rlim_t>(next), saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  Handle handle = kNoHandle;
  const std::int32_t error = system_.OpenForReading(Path("list").c_str(), handle);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(error, 4);
}

TEST_F(PosixPlatform, ReadsInBlocksAndClosesTheList) {
  Write("list", std::string(200, 'a'));
  Handle handle = kNoHandle;
  ASSERT_EQ(system_.OpenForReading(Path("list").c_str(), handle), 0);
  char block[128];
  std::size_t count = 0;
  EXPECT_EQ(system_.Read(handle, block, sizeof block, count), 0);
  EXPECT_EQ(count, 128u);
  EXPECT_EQ(system_.Read(handle, block, sizeof block, count), 0);
  EXPECT_EQ(count, 72u);
  EXPECT_EQ(system_.Read(handle, block, sizeof block, count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(system_.Close(handle), 0);
}

TEST_F(PosixPlatform, RefusedWritesGiveTheirNumbersAndNoSignal) {
  system_.DeclareConsoleProgram();  // SIGPIPE is ignored from here on
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  EXPECT_EQ(system_.Write(ends[1], "x", 1), 32);
  close(ends[1]);
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(system_.Write(full, "x", 1), 28);
  close(full);
}

TEST_F(PosixPlatform, TheMoveNeverReplacesAnExistingEntry) {
  Write("source", "source");
  Write("target", "target");
  EXPECT_FALSE(system_.MoveEntry(Path("source").c_str(), Path("target").c_str()));
  EXPECT_EQ(Read("source"), "source");
  EXPECT_EQ(Read("target"), "target");
  EXPECT_FALSE(system_.MoveEntry(Path("source").c_str(), Path("source").c_str()));
  EXPECT_TRUE(system_.MoveEntry(Path("source").c_str(), Path("new").c_str()));
  EXPECT_EQ(Read("new"), "source");
  EXPECT_FALSE(fs::exists(folder_ / "source"));
}

TEST_F(PosixPlatform, TheMoveTakesBothSeparatorsAndNoPattern) {
  fs::create_directory(folder_ / "sub");
  Write("sub/a", "a");
  EXPECT_TRUE(system_.MoveEntry((folder_.string() + "\\sub\\a").c_str(), Path("sub\\b").c_str()));
  EXPECT_EQ(Read("sub/b"), "a");
  EXPECT_FALSE(system_.MoveEntry(Path("sub/b").c_str(), Path("absent/c").c_str()));
  Write("*", "star");
  Write("q?", "question");
  EXPECT_FALSE(system_.MoveEntry(Path("*").c_str(), Path("d").c_str()));
  EXPECT_FALSE(system_.MoveEntry(Path("q?").c_str(), Path("e").c_str()));
  EXPECT_EQ(Read("*"), "star");
}

TEST_F(PosixPlatform, TheOpenListIsNotMovedUnderAnyOfItsNames) {
  Write("list", "list");
  ASSERT_EQ(link(Path("list").c_str(), Path("other name").c_str()), 0);
  Handle handle = kNoHandle;
  ASSERT_EQ(system_.OpenForReading(Path("list").c_str(), handle), 0);
  EXPECT_FALSE(system_.MoveEntry(Path("list").c_str(), Path("moved").c_str()));
  EXPECT_FALSE(system_.MoveEntry(Path("other name").c_str(), Path("moved").c_str()));
  EXPECT_EQ(system_.Close(handle), 0);
  EXPECT_TRUE(system_.MoveEntry(Path("list").c_str(), Path("moved").c_str()));
}

// A link counts as what it points to for the directory test only: a link
// to a directory is a directory, a link to a file or to nothing is a file.
TEST_F(PosixPlatform, FindsEntriesAndTakesALinkToADirectoryForADirectory) {
  TFoundEntry entry;
  EXPECT_FALSE(system_.FindEntry("", entry));
  EXPECT_FALSE(system_.FindEntry(Path("absent").c_str(), entry));
  fs::create_directory(folder_ / "directory");
  ASSERT_TRUE(system_.FindEntry(Path("directory").c_str(), entry));
  EXPECT_TRUE(entry.IsDirectory);
  fs::create_directory_symlink(folder_ / "directory", folder_ / "link");
  ASSERT_TRUE(system_.FindEntry(Path("link").c_str(), entry));
  EXPECT_TRUE(entry.IsDirectory);
  fs::create_symlink(folder_ / "nowhere", folder_ / "dangling");
  ASSERT_TRUE(system_.FindEntry(Path("dangling").c_str(), entry));
  EXPECT_FALSE(entry.IsDirectory);
  fs::create_symlink(folder_ / "directory" / "file", folder_ / "file link");
  std::ofstream(folder_ / "directory" / "file") << "x";
  ASSERT_TRUE(system_.FindEntry(Path("file link").c_str(), entry));
  EXPECT_FALSE(entry.IsDirectory);
  Write("file", "x");
  ASSERT_TRUE(system_.FindEntry((folder_.string() + "\\file").c_str(), entry));
  EXPECT_FALSE(entry.IsDirectory);
}

TEST_F(PosixPlatform, LastWriteTimesFromTheStartOf1980ToTheEndOf2107Fit) {
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved != nullptr ? saved : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_FALSE(system_.FitsDosDateTime(315532799));   // 1979-12-31 23:59:59
  EXPECT_TRUE(system_.FitsDosDateTime(315532800));    // 1980-01-01 00:00:00
  EXPECT_TRUE(system_.FitsDosDateTime(4354819199));   // 2107-12-31 23:59:59
  EXPECT_FALSE(system_.FitsDosDateTime(4354819200));  // 2108-01-01 00:00:00
  EXPECT_FALSE(system_.FitsDosDateTime(0));
  // In local time: one hour east of UTC, the last second of 1979 is 1980.
  setenv("TZ", "XXX-1", 1);
  tzset();
  EXPECT_TRUE(system_.FitsDosDateTime(315532799));
  // With the offset in force now, not the one at the file's date: Singapore
  // is 8 hours ahead today, 7:30 in 1979.
  if (fs::exists("/usr/share/zoneinfo/Asia/Singapore")) {
    setenv("TZ", "Asia/Singapore", 1);
    tzset();
    EXPECT_TRUE(system_.FitsDosDateTime(315532800 - (7 * 3600 + 45 * 60)));   // 16:15 UTC
    EXPECT_FALSE(system_.FitsDosDateTime(315532800 - (8 * 3600 + 15 * 60)));  // 15:45 UTC
  }
  if (saved != nullptr) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST_F(PosixPlatform, FindsTheModuleThatHoldsACodeAddress) {
  TModule module;
  const void* address = reinterpret_cast<const void*>(&NativePlatform);
  ASSERT_TRUE(system_.FindModule(address, module));
  EXPECT_EQ(fs::path(module.Path), fs::read_symlink("/proc/self/exe"));
  EXPECT_LE(module.LoadAddress, reinterpret_cast<std::uintptr_t>(address));
  EXPECT_EQ(system_.ModulePathSeparator(), '/');
}

}  // namespace
}  // namespace karsvren::platform
