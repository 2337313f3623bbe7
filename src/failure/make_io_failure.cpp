#include "common/check_pending_error.h"

#include "common/pending_error.h"
#include "failure/io_message_table.h"

namespace karsvren {

EInOutError* MakeIoFailure() {
  const std::int32_t errorCode = TakePendingError();
  return new EInOutError(IoMessageTable(errorCode), errorCode);
}

}  // namespace karsvren
