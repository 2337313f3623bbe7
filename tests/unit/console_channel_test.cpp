#include "run/console_channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/pending_error.h"
#include "fake_platform.h"

namespace karsvren {
namespace {

using testing::TFakePlatformScope;
using Sizes = std::vector<std::size_t>;

// Writes `lines` lines of `width` bytes each through the one channel.
void WriteLines(int lines, std::size_t width) {
  for (int line = 0; line < lines; ++line) {
    ConsoleChannel().WriteText(std::string(width, static_cast<char>('a' + line % 26)));
    ConsoleChannel().EndLine();
  }
}

TEST(ConsoleChannel, ToAFileOrPipeWritesBlocksOf128AndTheRestAtClose) {
  TFakePlatformScope scope;
  WriteLines(10, 40);  // 420 bytes
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{128, 128, 128}));
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{128, 128, 128, 36}));
  EXPECT_EQ(scope.Fake().Stdout.size(), 420u);
  EXPECT_EQ(scope.Fake().Stdout.substr(0, 42), std::string(40, 'a') + "\r\n");
  EXPECT_EQ(PendingError(), 0);
}

TEST(ConsoleChannel, ToACharacterDeviceFlushesEachLine) {
  TFakePlatformScope scope;
  scope.Fake().StdoutIsCharacterDevice = true;
  WriteLines(2, 10);
  ConsoleChannel().WriteText(std::string(300, 'x'));  // fills the buffer twice within the line
  ConsoleChannel().EndLine();
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{12, 12, 128, 128, 46}));
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().WriteSizes.size(), 5u);
}

TEST(ConsoleChannel, PassesEveryByteUnchanged) {
  TFakePlatformScope scope;
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  ConsoleChannel().WriteText(all);
  ConsoleChannel().WriteByte('\n');
  ConsoleChannel().EndLine();
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().Stdout, all + "\n\r\n");
}

TEST(ConsoleChannel, OpensAtTheFirstWriteOnly) {
  TFakePlatformScope scope;
  ConsoleChannel().Flush();
  ConsoleChannel().Flush();
  EXPECT_TRUE(scope.Fake().Log.empty());
  ConsoleChannel().WriteText("");
  EXPECT_EQ(scope.Fake().Log, std::vector<std::string>{"open stdout"});
  WriteLines(3, 1);
  EXPECT_EQ(scope.Fake().LogOf("open").size(), 1u);
}

TEST(ConsoleChannel, UnusableStandardOutputRecords105AndEveryWriteTriesAgain) {
  TFakePlatformScope scope;
  scope.Fake().StdoutUsable = false;
  ConsoleChannel().WriteByte('(');
  ConsoleChannel().WriteText("note");
  ConsoleChannel().EndLine();
  EXPECT_EQ(TakePendingError(), 105);
  EXPECT_EQ(scope.Fake().LogOf("open stdout refused").size(), 3u);
  ConsoleChannel().Flush();
  EXPECT_TRUE(scope.Fake().WriteSizes.empty());
  scope.Fake().StdoutUsable = true;
  ConsoleChannel().WriteText("now");
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().Stdout, "now");
}

TEST(ConsoleChannel, RefusedFlushDropsItsBytesAndTheRestOfTheWrite) {
  TFakePlatformScope scope;
  scope.Fake().WriteFaults = {{1, 112}};
  ConsoleChannel().WriteText(std::string(100, 'a'));
  ConsoleChannel().WriteText(std::string(100, 'b'));  // the first 28 fill the block, which is refused
  EXPECT_EQ(PendingError(), 112);
  ConsoleChannel().WriteText("c");  // the line goes on as usual
  ConsoleChannel().EndLine();
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().Stdout, "c\r\n");
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{128, 3}));
  EXPECT_EQ(TakePendingError(), 112);
}

TEST(ConsoleChannel, ALongTextGoesOutInBlocksOf128AndARefusedBlockDropsTheRest) {
  TFakePlatformScope scope;
  ConsoleChannel().WriteText(std::string(300, 'x'));
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{128, 128}));
  ConsoleChannel().WriteText("y");
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().Stdout, std::string(300, 'x') + "y");
  scope.Fake().WriteFaults = {{4, 28}};
  ConsoleChannel().WriteText(std::string(300, 'z'));
  ConsoleChannel().EndLine();
  ConsoleChannel().Flush();
  EXPECT_EQ(scope.Fake().Stdout, std::string(300, 'x') + "y\r\n");
  EXPECT_EQ(scope.Fake().WriteSizes, (Sizes{128, 128, 45, 128, 2}));
  EXPECT_EQ(TakePendingError(), 28);
}

TEST(ConsoleChannel, TheLastRefusedCodeIsTheOnePending) {
  TFakePlatformScope scope;
  scope.Fake().StdoutIsCharacterDevice = true;
  scope.Fake().WriteFaults = {{1, 28}, {2, 112}};
  ConsoleChannel().WriteText(std::string(130, 'a'));
  ConsoleChannel().EndLine();
  EXPECT_EQ(TakePendingError(), 112);
}

}  // namespace
}  // namespace karsvren
