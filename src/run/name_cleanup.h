// The clean-up of a record's third name part.
#pragma once

#include "common/text.h"

namespace karsvren {

// In place: the first "/" becomes "-", then the first and the last byte are
// removed. Fewer than three bytes give the empty text.
void CleanUpNamePart3(Text& namePart3);

}  // namespace karsvren
