#include "common/pending_error.h"

namespace karsvren {
namespace {

// One code for the program's one thread.
std::int32_t gPendingErrorCode = 0;

}  // namespace

void RecordPendingError(std::int32_t errorCode) {
  if (errorCode != 0) gPendingErrorCode = errorCode;
}

std::int32_t PendingError() { return gPendingErrorCode; }

std::int32_t TakePendingError() {
  const std::int32_t code = gPendingErrorCode;
  gPendingErrorCode = 0;
  return code;
}

}  // namespace karsvren
