// What differs between the builds of the program that the end-to-end suite
// runs: the module name in the failure report, the error numbers of the
// system, and how a failure location is resolved to a source line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace karsvren::e2e {

struct TTargetPlatform {
  const char* Name;
  const char* ModuleName;          // as the failure report names the program
  std::int32_t FullDevice;         // a write to a full disk or device
  std::vector<std::int32_t> BrokenPipe;  // a write to a pipe without a reader
  std::int32_t FileTooLarge;       // a write past the file size limit
  const char* Addr2Line;           // resolves an address in the program's file
  std::uint64_t ImageBase;         // added to a report's offset for Addr2Line
  bool NamesAreCaseBlind;
  // Run by an emulator (qemu): limits and tracing would apply to the
  // emulator, not to the program.
  bool Emulated;
};

// The platform named by KARSVREN_TARGET: "posix" (the default), "linux-arm64"
// (the POSIX program built for arm64, run under qemu) or "windows".
const TTargetPlatform& Target();

// Whether the program under test is a POSIX build.
bool TargetIsPosix();

}  // namespace karsvren::e2e
