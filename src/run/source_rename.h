// The existence test on a record's source file and its rename. Neither step
// raises a failure or leaves an error code; a failed rename is silent.
#pragma once

#include "common/text.h"

namespace karsvren {

// True when the name (up to its first NUL byte) names an entry that is no
// directory and whose last-write time, in local time, lies from 1980 to 2107.
bool SourceExists(const Text& sourceName);

// Moves the source to NewName with ".wav"; never over an existing entry.
void RenameSource(const Text& sourceName, const Text& newName);

}  // namespace karsvren
