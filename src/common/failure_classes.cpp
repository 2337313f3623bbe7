#include "common/failure_classes.h"

namespace karsvren {

EOutOfMemory& SharedOutOfMemory() {
  // Made at the first call, which the guard makes before the run begins.
  static EOutOfMemory shared;
  return shared;
}

}  // namespace karsvren
