#include "run/track_list_file.h"

#include <cstring>

#include "common/check_pending_error.h"
#include "common/pending_error.h"

namespace karsvren {
namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kCtrlZ = '\x1A';

// The length of the run of bytes before the first LF, CR or Ctrl-Z.
std::size_t FirstStop(const char* bytes, std::size_t count) {
  std::size_t stop = count;
  for (const char byte : {kLineFeed, kCarriageReturn, kCtrlZ}) {
    if (const void* found = std::memchr(bytes, byte, stop)) {
      stop = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    }
  }
  return stop;
}

}  // namespace

void TTrackListFile::OpenTrackList() {
  platform::Handle handle = platform::kNoHandle;
  const std::int32_t error = platform::Platform().OpenForReading(kTrackListName, handle);
  if (error != 0) {
    RecordPendingError(error);
    return;
  }
  handle_ = handle;
  ended_ = false;
  count_ = 0;
  position_ = 0;
}

bool TTrackListFile::HaveByte() {
  if (ended_) return false;
  if (position_ < count_) return true;
  count_ = 0;
  position_ = 0;
  std::size_t got = 0;
  const std::int32_t error = platform::Platform().Read(handle_, block_, kBlockSize, got);
  if (error == 0 && got > 0) {
    count_ = got;
    return true;
  }
  if (error == 0 || error == platform::kBrokenPipe) {
    ended_ = true;
  } else {
    // The step in progress takes a refused read as the end of the data; the
    // next step that needs a byte tries again.
    RecordPendingError(error);
  }
  return false;
}

void TTrackListFile::ReadFieldValue(Text& field) {
  field.clear();
  while (HaveByte()) {
    const char* const block = block_;
    const std::size_t end = position_ + FirstStop(block + position_, count_ - position_);
    field.append(block + position_, end - position_);
    position_ = end;
    if (end == count_) continue;
    const char stop = block[end];
    if (stop == kLineFeed) return;  // left for SkipToNextLine
    if (stop == kCtrlZ) {
      ended_ = true;
      return;
    }
    // A CR is dropped: before an LF the line then ends at the LF, anywhere
    // else it is no line end and no part of the value.
    ++position_;
  }
}

void TTrackListFile::SkipToNextLine() {
  while (HaveByte()) {
    const char byte = block_[position_];
    if (byte == kCtrlZ) {
      ended_ = true;
      return;
    }
    ++position_;
    if (byte == kLineFeed) return;
  }
}

void TTrackListFile::CloseTrackList() {
  const std::int32_t error = platform::Platform().Close(handle_);
  if (error != 0) RecordPendingError(error);
}

// Each line has a check of its own, so that a failure report tells which line
// of the record failed.
void TTrackListFile::ReadTrackRecord(TTrackRecord& record) {
  ReadFieldValue(record.SourceName); SkipToNextLine(); CheckPendingError();
  ReadFieldValue(record.NamePart1); SkipToNextLine(); CheckPendingError();
  ReadFieldValue(record.Note); SkipToNextLine(); CheckPendingError();
  ReadFieldValue(record.NamePart2); SkipToNextLine(); CheckPendingError();
  ReadFieldValue(record.NamePart3); SkipToNextLine(); CheckPendingError();
  ReadFieldValue(record.Spare); SkipToNextLine(); CheckPendingError();
}

}  // namespace karsvren
