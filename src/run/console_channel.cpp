#include "run/console_channel.h"

#include <algorithm>
#include <cstring>

#include "common/pending_error.h"

namespace karsvren {
namespace {

// Recorded when standard output cannot be opened, whatever the platform said.
constexpr std::int32_t kStandardOutputUnusable = 105;

}  // namespace

bool TConsoleChannel::EnsureOpen() {
  if (open_) return true;
  bool isCharacterDevice = false;
  if (!platform::Platform().OpenStandardOutput(handle_, isCharacterDevice)) {
    RecordPendingError(kStandardOutputUnusable);
    return false;
  }
  flushAtLineEnd_ = isCharacterDevice;
  fill_ = 0;
  open_ = true;
  return true;
}

bool TConsoleChannel::Send(const char* bytes, std::size_t count) {
  const std::int32_t error = platform::Platform().Write(handle_, bytes, count);
  if (error == 0) return true;
  RecordPendingError(error);
  return false;
}

bool TConsoleChannel::FlushHeld() {
  if (!open_ || fill_ == 0) return true;
  const std::size_t held = fill_;
  fill_ = 0;  // the bytes are gone whether the write succeeds or not
  return Send(buffer_, held);
}

void TConsoleChannel::WriteText(TextView text) {
  if (!EnsureOpen()) return;
  while (!text.empty()) {
    if (fill_ == 0 && text.size() >= kBufferSize) {
      // A whole block of a long text goes out straight from the text: the
      // same 128-byte write, without the copy through the buffer.
      if (!Send(text.data(), kBufferSize)) return;
      text.remove_prefix(kBufferSize);
      continue;
    }
    const std::size_t part = std::min(text.size(), kBufferSize - fill_);
    std::memcpy(buffer_ + fill_, text.data(), part);
    fill_ += part;
    text.remove_prefix(part);
    // A full buffer goes out at once; after a refused write the rest of the
    // text is dropped.
    if (fill_ == kBufferSize && !FlushHeld()) return;
  }
}

void TConsoleChannel::WriteByte(char byte) { WriteText(TextView(&byte, 1)); }

void TConsoleChannel::EndLine() {
  WriteText("\r\n");
  if (flushAtLineEnd_) FlushHeld();
}

void TConsoleChannel::Flush() { FlushHeld(); }

TConsoleChannel& ConsoleChannel() {
  static TConsoleChannel channel;
  return channel;
}

}  // namespace karsvren
