// Making the I/O failure from the pending error code.
#pragma once

#include "common/failure_classes.h"

namespace karsvren {

// Takes the pending error code, setting it back to 0 first, and makes a new
// EInOutError with the code's message. When memory runs out meanwhile, the
// out-of-memory failure is raised instead and the code is lost.
EInOutError* MakeIoFailure();

}  // namespace karsvren
