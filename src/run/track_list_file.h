// The track list file "KARSV.txt": 27 records of six lines, read strictly
// forward in fetches of at most 128 bytes.
#pragma once

#include <cstddef>

#include "common/text.h"
#include "platform/platform.h"

namespace karsvren {

// The six lines of one track record, in file order.
struct TTrackRecord {
  Text SourceName;
  Text NamePart1;
  Text Note;
  Text NamePart2;
  Text NamePart3;
  Text Spare;
};

// The reader. A line ends at LF or CR LF; every other CR is dropped; a Ctrl-Z
// ends the data. Past the end of the data every value is empty. Failures are
// recorded in the pending error code; only ReadTrackRecord checks it.
class TTrackListFile {
 public:
  static constexpr const char* kTrackListName = "KARSV.txt";
  static constexpr std::size_t kBlockSize = 128;

  void OpenTrackList();
  // Replaces the field with the rest of the current line, without its end.
  void ReadFieldValue(Text& field);
  // Uses up the current line's end.
  void SkipToNextLine();
  void CloseTrackList();
  // Reads six lines into the record, checking after each of them.
  void ReadTrackRecord(TTrackRecord& record);

 private:
  // True when the block holds an unused byte, fetching when it is used up.
  bool HaveByte();

  platform::Handle handle_ = platform::kNoHandle;
  bool ended_ = false;
  std::size_t count_ = 0;
  std::size_t position_ = 0;
  char block_[kBlockSize] = {};
};

}  // namespace karsvren
