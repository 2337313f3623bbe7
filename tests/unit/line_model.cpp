#include "line_model.h"

#include "common/pending_error.h"
#include "fake_platform.h"
#include "run/track_list_file.h"

namespace karsvren::testing {

std::vector<std::string> ModelValues(const std::string& bytes) {
  std::vector<std::string> values(1);
  for (const char byte : bytes.substr(0, bytes.find('\x1A'))) {
    if (byte == '\n') {
      values.emplace_back();
    } else if (byte != '\r') {
      values.back() += byte;
    }
  }
  values.resize(kValuesInList);
  return values;
}

std::vector<std::string> ReaderValues(const std::string& bytes, std::size_t chunk,
                                      std::int32_t& pendingError) {
  TFakePlatformScope scope;
  scope.Fake().List = bytes;
  scope.Fake().ReadChunk = chunk;
  TTrackListFile reader;
  reader.OpenTrackList();
  std::vector<std::string> values(kValuesInList);
  for (std::string& value : values) {
    reader.ReadFieldValue(value);
    reader.SkipToNextLine();
  }
  reader.CloseTrackList();
  pendingError = PendingError();
  return values;
}

}  // namespace karsvren::testing
