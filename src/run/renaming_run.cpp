#include "run/renaming_run.h"

#include "common/check_pending_error.h"
#include "common/text.h"
#include "platform/platform.h"
#include "run/console_channel.h"
#include "run/name_cleanup.h"
#include "run/name_composition.h"
#include "run/source_rename.h"
#include "run/track_list_file.h"

namespace karsvren {

// Every checked operation is followed by its own call of CheckPendingError,
// on its line, so that the location in a failure report names the operation.
void RenamingRun() {
  TConsoleChannel& console = ConsoleChannel();

  console.WriteText("Karsivo Music Files renamer."); console.EndLine(); CheckPendingError();
  console.WriteText("by -=QUELLAN=-"); console.EndLine(); CheckPendingError();
  console.WriteText("exclusive.4.wendrix: Wendrix by KEL, DOR"); console.EndLine(); CheckPendingError();
  console.EndLine(); CheckPendingError();

  TTrackListFile trackList;
  trackList.OpenTrackList(); CheckPendingError();

  TTrackRecord record;
  Text newName;
  for (int counter = kRecordCount; counter != 0; --counter) {
    trackList.ReadTrackRecord(record);
    CleanUpNamePart3(record.NamePart3);

    console.WriteText(record.SourceName); console.EndLine(); CheckPendingError();
    ComposeNewName(record, newName);
    console.WriteText(newName); console.EndLine(); CheckPendingError();

    if (SourceExists(record.SourceName)) RenameSource(record.SourceName, newName);

    console.WriteByte('('); console.WriteText(record.Note); console.WriteByte(')'); console.EndLine(); CheckPendingError();
    console.EndLine(); CheckPendingError();
  }

  trackList.CloseTrackList(); CheckPendingError();

  // The last bytes are checked like every other write: output lost to a full
  // disk must not end with exit code 0.
  console.Flush(); CheckPendingError();
}

void ProgramEnd(int exitCode) {
  // Closing the channel: what it still holds is written out.
  ConsoleChannel().Flush();
  platform::Platform().EndProcess(exitCode);
}

}  // namespace karsvren
