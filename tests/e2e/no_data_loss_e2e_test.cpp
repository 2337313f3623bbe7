// Generated folders and lists, run through the real program: no file is ever
// lost or replaced, and on POSIX every rename is exactly the one the rules
// call for. Names collide, swap, chain, repeat, point into folders that exist
// and that do not, name the list itself and hold "*", "?", "\", "/" and bytes
// above 127. The seed is fixed; KARSVREN_PROPERTY_CASES asks for more cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "album.h"
#include "folder.h"
#include "program_runner.h"
#include "target_platform.h"

namespace karsvren::e2e {
namespace {

struct TCase {
  std::string List;
  TFolderContents Folder;
  std::vector<std::vector<std::string>> Records;  // the six lines of each
};

template <typename T>
const T& Pick(std::mt19937& random, const std::vector<T>& pool) {
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
}

TCase Generate(std::mt19937& random, int index) {
  // Names that only some file systems take: "*", "?", "\\" and bytes that
  // are no UTF-8 (Windows takes the last as a code page's letters).
  const bool anyBytes = TestFolderFileSystem().AnyByteNames;
  std::vector<std::string> parts1 = {"A", "B", "", "sub\\A", "sub/B", "A/"};
  if (anyBytes || !TargetIsPosix()) parts1.push_back("caf\xE9");
  const std::vector<std::string> parts2 = {"C", "", "D"};
  const std::vector<std::string> parts3 = {"[x]", "(y)", "", "[a/b]", "/x/", "[x.wav]", "ab", "(A/b/c)"};
  std::vector<std::string> files = {"a.wav", "b.wav", "c d.wav", "sub/e.wav", "A - C - x.wav",
                                    " -  - .wav", "B - D - y.wav", "A - C - a-b.wav"};
  std::vector<std::string> sources = {"a.wav", "b.wav", "c d.wav", "sub\\e.wav", "sub/e.wav",
                                      "A - C - x.wav", " -  - .wav", "B - D - y.wav", "KARSV.txt",
                                      "sub", "missing.wav", "", "*.wav", "?.wav", "A - C - x.wav.wav",
                                      "sub\\A - C - x.wav", "B -  - y.wav"};
  if (TargetIsPosix() && anyBytes) {
    files.insert(files.end(), {"*", "t?.wav", "caf\xE9 - C - x.wav", "back\\slash.wav"});
    sources.insert(sources.end(), {"*", "t?.wav", "caf\xE9 - C - x.wav", "back\\slash.wav"});
  }

  TCase generated;
  std::uniform_int_distribution<int> coin(0, 1);
  if (coin(random) != 0) generated.Folder["sub/"] = "";
  if (coin(random) != 0) generated.Folder["A - C - A-b/"] = "";
  for (const std::string& name : files) {
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0) continue;
    if (name.rfind("sub/", 0) == 0) generated.Folder["sub/"] = "";
    generated.Folder[name] = "content " + std::to_string(index) + " of " + name;
  }
  const int records = std::uniform_int_distribution<int>(0, 30)(random);
  const std::string lineEnd = coin(random) != 0 ? "\r\n" : "\n";
  for (int record = 0; record < records; ++record) {
    std::vector<std::string> lines = {Pick(random, sources), Pick(random, parts1), "n",
                                      Pick(random, parts2), Pick(random, parts3), "s"};
    for (const std::string& line : lines) generated.List += line + lineEnd;
    generated.Records.push_back(lines);
  }
  generated.Records.resize(27, std::vector<std::string>(6));
  generated.Folder["KARSV.txt"] = generated.List;
  return generated;
}

// The name the file system sees: "\" and "/" both separate, empty parts go.
std::string FileSystemName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  std::string path;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    if (end > start) path += (path.empty() ? "" : "/") + name.substr(start, end - start);
    start = end + 1;
  }
  return path;
}

std::string Cleaned(std::string part3) {
  const std::size_t slash = part3.find('/');
  if (slash != std::string::npos) part3[slash] = '-';
  if (!part3.empty()) part3.erase(0, 1);
  if (!part3.empty()) part3.pop_back();
  return part3;
}

// What the run prints, and the folder as the rules leave it on POSIX.
std::string ModelRun(const TCase& generated, TFolderContents& folder) {
  std::string output = kBanner;
  for (const std::vector<std::string>& lines : generated.Records) {
    const std::string newName = lines[1] + " - " + lines[3] + " - " + Cleaned(lines[4]);
    output += lines[0] + "\r\n" + newName + "\r\n(" + lines[2] + ")\r\n\r\n";
    const std::string source = FileSystemName(lines[0]);
    const std::string target = FileSystemName(newName + ".wav");
    const bool sourceIsFile = !source.empty() && folder.count(source) != 0;
    if (!sourceIsFile || lines[0].find_first_of("*?") != std::string::npos) continue;
    if (source == "KARSV.txt") continue;  // the open list
    const std::size_t slash = target.rfind('/');
    const bool folderThere = slash == std::string::npos || folder.count(target.substr(0, slash) + "/") != 0;
    if (!folderThere || folder.count(target) != 0 || folder.count(target + "/") != 0) continue;
    folder[target] = folder[source];
    folder.erase(source);
  }
  return output;
}

std::multiset<std::string> ContentsOf(const TFolderContents& folder) {
  std::multiset<std::string> contents;
  for (const auto& [name, content] : folder) {
    if (name.back() != '/') contents.insert(content);
  }
  return contents;
}

TEST(NoDataLoss, GeneratedFoldersKeepEveryFileAndRenameOnlyByTheRules) {
  const char* asked = std::getenv("KARSVREN_PROPERTY_CASES");
  const int cases = asked != nullptr ? std::atoi(asked) : (TargetIsPosix() ? 300 : 30);
  std::mt19937 random(20261211);
  for (int index = 0; index < cases; ++index) {
    const TCase generated = Generate(random, index);
    TFolder folder;
    for (const auto& [name, content] : generated.Folder) {
      if (name.back() == '/') {
        folder.MakeDirectory(name);
      } else {
        folder.Write(name, content);
      }
    }
    TFolderContents expected = generated.Folder;
    const std::string output = ModelRun(generated, expected);

    const TRunResult result = RunProgram({.Folder = folder.Path()});
    const TFolderContents after = folder.Contents();
    SCOPED_TRACE("case " + std::to_string(index) + ", list:\n" + generated.List);
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    ASSERT_EQ(result.Stdout, output);
    // Nothing lost, nothing doubled, the list untouched.
    ASSERT_EQ(ContentsOf(after), ContentsOf(generated.Folder));
    ASSERT_EQ(after.at("KARSV.txt"), generated.List);
    if (TargetIsPosix()) {
      ASSERT_EQ(after, expected);
    }
  }
}

}  // namespace
}  // namespace karsvren::e2e
