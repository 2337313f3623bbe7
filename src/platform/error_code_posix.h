// The error codes that the POSIX layer hands to the program.
#pragma once

#include <cstdint>

namespace karsvren::platform {

// The program's error code for a Linux error number. No such file, no such
// path, too many open files and access refused become 2, 3, 4 and 5, and an
// I/O device error 1117, as the program's messages expect. Numbers that the
// program gives a meaning of their own (100, 101, 105, 106 and 109) are
// reported by the numbers of the same failures on Windows sockets. Every
// other number is passed on unchanged.
std::int32_t ProgramErrorCode(int error);

}  // namespace karsvren::platform
