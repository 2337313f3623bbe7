// The pending error code: a console write or a track-list operation that fails
// records its error code here instead of returning it. The run tests it with
// CheckPendingError right after each checked operation.
#pragma once

#include <cstdint>

namespace karsvren {

// Records a failure, replacing any code already pending. 0 is never recorded.
void RecordPendingError(std::int32_t errorCode);

// The code now pending, 0 while no failure is pending.
std::int32_t PendingError();

// Returns the code now pending and sets it back to 0.
std::int32_t TakePendingError();

}  // namespace karsvren
