#include "common/check_pending_error.h"

#include "common/failure_classes.h"
#include "common/pending_error.h"

namespace karsvren {

// The name is parenthesised so that the call-site macro leaves it alone.
void (CheckPendingError)() {
  if (PendingError() == 0) return;
  const void* location = __builtin_return_address(0);
  throw TRaisedFailure{MakeIoFailure(), location};
}

}  // namespace karsvren
