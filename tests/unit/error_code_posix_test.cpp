// The error codes that the POSIX layer reports for Linux error numbers.
#include "platform/error_code_posix.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace karsvren::platform {
namespace {

struct TErrorCase {
  int Error;
  std::int32_t Code;
};

void PrintTo(const TErrorCase& error, std::ostream* out) { *out << "errno " << error.Error; }

class ErrorCodes : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(ErrorCodes, AreTheProgramsOwnOrPassedOn) {
  EXPECT_EQ(ProgramErrorCode(GetParam().Error), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, ErrorCodes,
    ::testing::Values(
        // The table's messages.
        TErrorCase{ENOENT, 2}, TErrorCase{ENOTDIR, 3}, TErrorCase{EMFILE, 4}, TErrorCase{ENFILE, 4},
        TErrorCase{EACCES, 5}, TErrorCase{EPERM, 5}, TErrorCase{EISDIR, 5},
        TErrorCase{EIO, 1117},
        // Numbers that mean something else to the program: never "Read beyond
        // end of file", "Disk full", no usable output, "Invalid numeric
        // input" or the end of the list.
        TErrorCase{ENETDOWN, 10050}, TErrorCase{ENETUNREACH, 10051}, TErrorCase{ENOBUFS, 10055},
        TErrorCase{EISCONN, 10056}, TErrorCase{ETOOMANYREFS, 10059},
        // Everything else unchanged.
        TErrorCase{EFBIG, 27}, TErrorCase{ENOSPC, 28}, TErrorCase{EPIPE, 32}, TErrorCase{EAGAIN, 11},
        TErrorCase{ENOTCONN, 107}, TErrorCase{0, 0}));

}  // namespace
}  // namespace karsvren::platform
