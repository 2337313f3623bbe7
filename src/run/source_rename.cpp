#include "run/source_rename.h"

#include "platform/platform.h"
#include "run/name_composition.h"

namespace karsvren {

bool SourceExists(const Text& sourceName) {
  platform::IPlatform& system = platform::Platform();
  platform::TFoundEntry entry;
  if (!system.FindEntry(sourceName.c_str(), entry)) return false;
  if (entry.IsDirectory) return false;
  return system.FitsDosDateTime(entry.LastWrite);
}

void RenameSource(const Text& sourceName, const Text& newName) {
  const Text targetName = MakeTargetName(newName);
  // The outcome is not examined: a file that cannot be moved keeps its name.
  platform::Platform().MoveEntry(sourceName.c_str(), targetName.c_str());
}

}  // namespace karsvren
