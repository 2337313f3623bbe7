// The message texts of the I/O failure.
#pragma once

#include <cstdint>

#include "common/text.h"

namespace karsvren {

// The message of the table's first row with this error code, otherwise
// "I/O error " and the code in decimal.
Text IoMessageTable(std::int32_t errorCode);

}  // namespace karsvren
