#include "target_platform.h"

#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace karsvren::e2e {

const TTargetPlatform& Target() {
  static const TTargetPlatform kPosix{
      .Name = "posix",
      .ModuleName = "karsvren",
      .FullDevice = 28,      // ENOSPC
      .BrokenPipe = {32},    // EPIPE
      .FileTooLarge = 27,    // EFBIG
      .Addr2Line = "addr2line",
      .ImageBase = 0,        // a position-independent executable
      .NamesAreCaseBlind = false,
      .Emulated = false,
  };
  static const TTargetPlatform kArm64{
      .Name = "linux-arm64",
      .ModuleName = "karsvren",
      .FullDevice = 28,
      .BrokenPipe = {32},
      .FileTooLarge = 27,
      .Addr2Line = "aarch64-linux-gnu-addr2line",
      .ImageBase = 0,
      .NamesAreCaseBlind = false,
      .Emulated = true,
  };
  static const TTargetPlatform kWindows{
      .Name = "windows",
      .ModuleName = "karsvren.exe",
      .FullDevice = 112,           // ERROR_DISK_FULL
      // ERROR_NO_DATA, ERROR_BROKEN_PIPE; wine gives ERROR_PIPE_NOT_CONNECTED
      .BrokenPipe = {232, 109, 233},
      .FileTooLarge = 112,
      .Addr2Line = "x86_64-w64-mingw32-addr2line",
      .ImageBase = 0x140000000,
      .NamesAreCaseBlind = true,
      .Emulated = false,
  };
  const char* name = std::getenv("KARSVREN_TARGET");
  if (name == nullptr || std::string_view(name) == "posix") return kPosix;
  if (std::string_view(name) == "linux-arm64") return kArm64;
  if (std::string_view(name) == "windows") return kWindows;
  throw std::runtime_error("KARSVREN_TARGET is none of posix, linux-arm64 and windows");
}

bool TargetIsPosix() { return std::string_view(Target().Name) != "windows"; }

}  // namespace karsvren::e2e
