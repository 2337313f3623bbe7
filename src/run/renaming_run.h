// The renaming run: the banner, 27 track records, the normal end.
#pragma once

namespace karsvren {

inline constexpr int kRecordCount = 27;

// The whole run, up to and including the last write to standard output.
// Leaves by a raised failure when a checked operation fails.
void RenamingRun();

// Closes the console channel and ends the process with the exit code.
void ProgramEnd(int exitCode);

}  // namespace karsvren
