// The console channel: buffered text output on standard output. Bytes pass
// unchanged; lines end with CR LF. Output goes out in blocks of 128 bytes, and
// at each line end as well when standard output is a character device.
#pragma once

#include <cstddef>

#include "common/text.h"
#include "platform/platform.h"

namespace karsvren {

class TConsoleChannel {
 public:
  static constexpr std::size_t kBufferSize = 128;

  // Each write opens the channel first when it is closed. A write whose
  // open or flush fails records the error code and drops its remaining bytes.
  void WriteText(TextView text);
  void WriteByte(char byte);
  void EndLine();
  // Writes out what the buffer holds, in one platform write. It is also the
  // channel's close at program end: the standard output handle stays open,
  // so there is nothing more to closing it.
  void Flush();

 private:
  bool EnsureOpen();
  // One write to standard output; a refused one records its error code.
  bool Send(const char* bytes, std::size_t count);
  bool FlushHeld();

  bool open_ = false;
  platform::Handle handle_ = platform::kNoHandle;
  bool flushAtLineEnd_ = false;
  std::size_t fill_ = 0;
  char buffer_[kBufferSize] = {};
};

// The one channel of the process.
TConsoleChannel& ConsoleChannel();

}  // namespace karsvren
