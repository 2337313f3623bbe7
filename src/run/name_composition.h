// The composition of a record's new name and of the name its file gets.
#pragma once

#include "common/text.h"
#include "run/track_list_file.h"

namespace karsvren {

// NewName: NamePart1 " - " NamePart2 " - " cleaned NamePart3, replacing what
// `newName` held.
void ComposeNewName(const TTrackRecord& record, Text& newName);

// TargetName: NewName with ".wav", whatever NewName ends with.
Text MakeTargetName(const Text& newName);

}  // namespace karsvren
