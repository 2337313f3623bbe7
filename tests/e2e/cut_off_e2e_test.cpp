// The program cut off or raced: killed at each of its system calls, limited,
// or meeting another program that writes or replaces a file while it is
// copied. After each, every file is whole under one of its names and a
// second run finishes the work. The native program only: strace puts the
// faults into its system calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "album.h"
#include "folder.h"
#include "program_runner.h"
#include "syscall_injection.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {

// Skips the test that needs strace where it cannot be used.
#define SKIP_WITHOUT_STRACE()                                                           \
  do {                                                                                  \
    if (!TargetIsPosix()) GTEST_SKIP() << "strace puts the faults into the native program's calls"; \
    if (Target().Emulated) GTEST_SKIP() << "strace would trace the emulator's calls";           \
    if (const auto why = StraceUnusable()) GTEST_SKIP() << *why;                      \
  } while (false)

// The kill cases are about what the program does to files; under the
// sanitizers their start-up calls would multiply the kill points tenfold
// without touching a file.
#define SKIP_WHEN_SANITIZED()                                                            \
  do {                                                                                   \
    if (std::getenv("KARSVREN_SANITIZED") != nullptr) {                                  \
      GTEST_SKIP() << "the sanitizers' start-up would multiply the kill points";         \
    }                                                                                    \
  } while (false)

class CutOff : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_STRACE();
    SKIP_WHEN_SANITIZED();
  }
};

// Calls `killedRun` once for every system call and count of a run whose
// calls are `counts`, with the strace fault that kills the program there;
// stops at the first fatal failure. Returns the number of kill points tried
// and prints it.
int ForEachKillPoint(const std::map<std::string, int>& counts, const std::string& what,
                     const std::function<void(const std::string& inject)>& killedRun) {
  int killPoints = 0;
  for (const auto& [call, count] : counts) {
    for (int when = 1; when <= count; ++when) {
      SCOPED_TRACE(call + " call " + std::to_string(when));
      killedRun(call + ":signal=KILL:when=" + std::to_string(when));
      if (::testing::Test::HasFatalFailure()) return killPoints;
      ++killPoints;
    }
  }
  std::cout << "killed at " << killPoints << " system calls of " << what << "\n";
  ::testing::Test::RecordProperty("KillPoints", killPoints);
  return killPoints;
}

// What is wrong with an album folder after a cut-off run: each track must be
// whole under its old name or its new one, never both, and nothing else may
// be there but the untouched list.
std::string AlbumProblem(TFolderContents folder) {
  if (folder["KARSV.txt"] != AlbumList(27)) return "the list changed";
  folder.erase("KARSV.txt");
  for (int record = 1; record <= 27; ++record) {
    const std::string target = NewName(record) + ".wav";
    const int names = static_cast<int>(folder.count(Source(record)) + folder.count(target));
    if (names != 1) return "track " + std::to_string(record) + " is under " + std::to_string(names) + " names";
    const std::string& content = folder.count(target) != 0 ? folder[target] : folder[Source(record)];
    if (content != Audio(record)) return "track " + std::to_string(record) + " is not whole";
    folder.erase(target);
    folder.erase(Source(record));
  }
  if (!folder.empty()) return "left behind: " + folder.begin()->first;
  return "";
}

TEST_F(CutOff, KilledAtAnySystemCallOfAnAlbumRunNothingIsLost) {
  std::map<std::string, int> counts;
  {
    TFolder reference;
    MakeAlbum(reference);
    counts = SystemCallCounts({.Folder = reference.Path()});
    ASSERT_EQ(reference.Contents(), AlbumAfter(27));
  }
  const int killPoints = ForEachKillPoint(counts, "an album run", [](const std::string& inject) {
    TFolder folder;
    MakeAlbum(folder);
    RunWithInjection({.Folder = folder.Path()}, inject);
    ASSERT_EQ(AlbumProblem(folder.Contents()), "");
    const TRunResult again = RunProgram({.Folder = folder.Path()});
    ASSERT_EQ(again.ExitCode, 0);
    ASSERT_EQ(folder.Contents(), AlbumAfter(27));
  });
  EXPECT_GT(killPoints, 27 * 2);
}

// Moves of the native program from another file system into the folder.
class Across : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TargetIsPosix()) GTEST_SKIP() << "a case of the native program's move";
    const TFolder probe;
    const TOtherFolder other(probe);
    if (other.Path().empty()) GTEST_SKIP() << other.WhyNot();
  }
};

// Tracks of different sizes on another file system, moved into the folder.
class CutOffAcross : public Across {
 protected:
  void SetUp() override {
    Across::SetUp();
    if (IsSkipped()) return;
    SKIP_WITHOUT_STRACE();
    SKIP_WHEN_SANITIZED();
  }

  // The tracks: their sizes cross the copy's block sizes.
  static std::vector<std::string> Tracks() {
    std::vector<std::string> tracks;
    for (const std::size_t size : {std::size_t{0}, std::size_t{4097}, std::size_t{300000},
                                   std::size_t{3} << 20}) {
      std::string content(size, '\0');
      for (std::size_t at = 0; at < size; ++at) content[at] = static_cast<char>('a' + (at * 7 + size) % 26);
      tracks.push_back(content);
    }
    return tracks;
  }

  static std::string ListFor(const TOtherFolder& other, int tracks) {
    std::string list;
    for (int track = 1; track <= tracks; ++track) {
      list += (other.Path() / ("s" + std::to_string(track) + ".wav")).string() + "\nA\nnote\nB\n[" +
              std::to_string(track) + "]\nspare\n";
    }
    return list;
  }

  static void Prepare(const TFolder& folder, const TOtherFolder& other) {
    const std::vector<std::string> tracks = Tracks();
    folder.Write("KARSV.txt", ListFor(other, static_cast<int>(tracks.size())));
    for (std::size_t track = 1; track <= tracks.size(); ++track) {
      other.Write("s" + std::to_string(track) + ".wav", tracks[track - 1]);
    }
  }

  // Each track whole under its old name or its new one; under both only as
  // two whole files.
  static std::string Problem(TFolderContents here, TFolderContents there, const std::string& list) {
    if (here["KARSV.txt"] != list) return "the list changed";
    here.erase("KARSV.txt");
    const std::vector<std::string> tracks = Tracks();
    for (std::size_t track = 1; track <= tracks.size(); ++track) {
      const std::string source = "s" + std::to_string(track) + ".wav";
      const std::string target = "A - B - " + std::to_string(track) + ".wav";
      const bool old = there.count(source) != 0;
      const bool moved = here.count(target) != 0;
      if (!old && !moved) return "track " + std::to_string(track) + " is gone";
      if ((old && there[source] != tracks[track - 1]) || (moved && here[target] != tracks[track - 1])) {
        return "track " + std::to_string(track) + " is not whole";
      }
      there.erase(source);
      here.erase(target);
    }
    if (!here.empty()) return "left behind: " + here.begin()->first;
    if (!there.empty()) return "left behind elsewhere: " + there.begin()->first;
    return "";
  }
};

TEST_F(CutOffAcross, KilledAtAnySystemCallOfAMoveAcrossFileSystemsNothingIsLost) {
  std::map<std::string, int> counts;
  {
    TFolder reference;
    TOtherFolder other(reference);
    Prepare(reference, other);
    counts = SystemCallCounts({.Folder = reference.Path()});
    ASSERT_EQ(other.Contents(), TFolderContents{});
  }
  const int killPoints = ForEachKillPoint(counts, "a move across file systems", [](const std::string& inject) {
    TFolder folder;
    TOtherFolder other(folder);
    Prepare(folder, other);
    const std::string list = ListFor(other, static_cast<int>(Tracks().size()));
    RunWithInjection({.Folder = folder.Path()}, inject);
    ASSERT_EQ(Problem(folder.Contents(), other.Contents(), list), "");
    // A second run moves what is left; a track killed between its link and
    // the removal of its source stays whole in both places.
    const TFolderContents bothPlaces = other.Contents();
    ASSERT_EQ(RunProgram({.Folder = folder.Path()}).ExitCode, 0);
    const TFolderContents there = other.Contents();
    ASSERT_EQ(Problem(folder.Contents(), there, list), "");
    for (const auto& [name, content] : there) {
      ASSERT_EQ(bothPlaces.count(name), 1u) << name;
      ASSERT_EQ(folder.Contents().at("A - B - " + name.substr(1)), content) << name;
    }
  });
  EXPECT_GT(killPoints, 4 * 10);
}

// A move across file systems that meets another program: the source is kept
// as the other program left it, and no copy stays behind.
class RaceAcross : public Across {
 protected:
  void SetUp() override {
    Across::SetUp();
    if (IsSkipped()) return;
    other_ = std::make_unique<TOtherFolder>(folder_);
    source_ = (other_->Path() / "big.wav").string();
    other_->Write("big.wav", content_);
    list_ = source_ + "\nA\nnote\nB\n[c]\nspare\n";
    folder_.Write("KARSV.txt", list_);
  }

  // Whether the program holds its read lease on the source: it takes it
  // before the copy and keeps it to the end of the move.
  bool SourceLeased() const {
    struct stat status {};
    if (stat(source_.c_str(), &status) != 0) return false;
    const std::string inode = ":" + std::to_string(status.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("LEASE") != std::string::npos && line.find(inode) != std::string::npos) return true;
    }
    return false;
  }

  // Runs the program with its copy's fsync held up for two seconds; `act`
  // runs once the program has taken the source in hand.
  TRunResult RunWhile(const std::function<void()>& act) {
    std::thread actor([this, &act] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!SourceLeased() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      act();
    });
    const TRunResult result = RunWithInjection({.Folder = folder_.Path()}, "fsync:delay_enter=2000000:when=1");
    actor.join();
    return result;
  }

  // Compared by name, then by content without printing a megabyte of it.
  void ExpectNotMovedAndSourceIs(const std::string& content) {
    const TFolderContents here = folder_.Contents();
    const TFolderContents there = other_->Contents();
    EXPECT_EQ(here.size(), 1u) << "the folder holds " << here.rbegin()->first;
    EXPECT_EQ(there.size(), 1u);
    ASSERT_EQ(there.count("big.wav"), 1u);
    EXPECT_TRUE(there.at("big.wav") == content)
        << "the source has " << there.at("big.wav").size() << " bytes, not " << content.size();
  }

  TFolder folder_;
  std::unique_ptr<TOtherFolder> other_;
  std::string source_;
  std::string list_;
  const std::string content_ = std::string(1 << 20, 'w') + "end\n";
};

TEST_F(RaceAcross, AFileMovedOntoTheSourceDuringTheCopyIsKept) {
  SKIP_WITHOUT_STRACE();
  other_->Write("other", "another program's file");
  const TRunResult result =
      RunWhile([this] { std::rename((other_->Path() / "other").c_str(), source_.c_str()); });
  EXPECT_EQ(result.ExitCode, 0);
  ExpectNotMovedAndSourceIs("another program's file");
}

TEST_F(RaceAcross, LinesAppendedToTheSourceDuringTheCopyAreKept) {
  SKIP_WITHOUT_STRACE();
  const TRunResult result = RunWhile([this] {
    for (int line = 0; line < 100; ++line) {
      const int fd = open(source_.c_str(), O_WRONLY | O_APPEND);
      const std::string text = "line " + std::to_string(line) + "\n";
      if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return;
      close(fd);
    }
  });
  EXPECT_EQ(result.ExitCode, 0);
  std::string expected = content_;
  for (int line = 0; line < 100; ++line) expected += "line " + std::to_string(line) + "\n";
  ExpectNotMovedAndSourceIs(expected);
}

TEST_F(RaceAcross, ASourceHeldOpenForWritingIsNotMoved) {
  const int writer = open(source_.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  const TRunResult result = RunProgram({.Folder = folder_.Path()});
  close(writer);
  EXPECT_EQ(result.ExitCode, 0);
  ExpectNotMovedAndSourceIs(content_);
}

TEST_F(RaceAcross, ACopyOverTheFileSizeLimitIsRemovedAndTheRunGoesOn) {
  const TRunResult result = RunProgram({.Folder = folder_.Path(), .FileSizeLimit = 100000});
  EXPECT_EQ(result.Signal, 0);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stderr, "");
  ExpectNotMovedAndSourceIs(content_);
}

}  // namespace
}  // namespace karsvren::e2e
