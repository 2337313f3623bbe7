#include "platform/error_code_posix.h"

#include <cerrno>

namespace karsvren::platform {

std::int32_t ProgramErrorCode(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    // EIO would otherwise read as 5, "File access denied".
    case EIO: return 1117;
    // These would read as "Read beyond end of file", "Disk full", no usable
    // standard output, "Invalid numeric input" and the end of the list.
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ETOOMANYREFS: return 10059;
    default: return error;
  }
}

}  // namespace karsvren::platform
