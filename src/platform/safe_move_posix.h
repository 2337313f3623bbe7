// The POSIX layer's move: a file is never replaced, never lost and never
// left half-moved, on one file system or across two.
#pragma once

#include <sys/stat.h>

namespace karsvren::platform {

// Moves the entry `source`, whose lstat() was `status`, to `target`; both are
// file system names. Never replaces an entry that exists. True when moved.
//
// On one file system it is a rename that refuses an existing target
// (RENAME_NOREPLACE, or else a hard link and the removal of the old name, or
// on file systems that have neither a check for the target right before a
// plain rename).
//
// To another file system a regular file is copied into an unnamed file in
// the target's folder, synced, linked under the target name (which fails on
// an existing name) and the folder synced; only then is the source removed,
// and only when its name still holds the file that was copied and that file
// did not change meanwhile. A source that another program holds open for
// writing is not moved. Every failure removes the copy and keeps the source.
bool MoveWithoutReplacing(const char* source, const char* target, const struct stat& status);

}  // namespace karsvren::platform
