#include "run/name_cleanup.h"

namespace karsvren {

void CleanUpNamePart3(Text& namePart3) {
  const Text::size_type slash = namePart3.find('/');
  if (slash != Text::npos) namePart3[slash] = '-';
  if (!namePart3.empty()) namePart3.erase(0, 1);
  if (!namePart3.empty()) namePart3.pop_back();
}

}  // namespace karsvren
