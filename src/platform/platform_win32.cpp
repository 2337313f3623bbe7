// The platform layer on Windows: the program's own Win32 calls, each with
// the arguments that give the behaviour the program is built on.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/platform.h"

namespace karsvren::platform {
namespace {

HANDLE AsWindowsHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

std::int32_t LastError() { return static_cast<std::int32_t>(GetLastError()); }

// 2108-01-01 00:00:00 in 100-nanosecond ticks since 1601: the first moment
// that the MS-DOS date format cannot hold. Some implementations of
// FileTimeToDosDateTime accept later times and wrap the year around.
constexpr std::uint64_t kFirstTickAfter2107 = 159992928000000000ULL;

// The code with which a failure of the program is offered to the last-chance
// filter: an application-defined exception code of this program's own
// (severity error, customer bit set, then the letters "KRV").
constexpr DWORD kProgramFailureCode = 0xE04B5256;

class TWin32Platform final : public IPlatform {
 public:
  // Built for the console subsystem: the report goes to standard error, never
  // to a message window.
  void DeclareConsoleProgram() override {}

  void AdviseLargeBlock(void*, std::size_t) override {}

  void EndProcess(int exitCode) override { ExitProcess(static_cast<UINT>(exitCode)); }

  bool OpenStandardOutput(Handle& handle, bool& isCharacterDevice) override {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(output);
    if (type == FILE_TYPE_UNKNOWN) {
      CloseHandle(output);
      return false;
    }
    handle = reinterpret_cast<Handle>(output);
    isCharacterDevice = type == FILE_TYPE_CHAR;
    return true;
  }

  std::int32_t Write(Handle handle, const char* bytes, std::size_t count) override {
    DWORD written = 0;
    if (!WriteFile(AsWindowsHandle(handle), bytes, static_cast<DWORD>(count), &written, nullptr)) {
      return LastError();
    }
    return 0;
  }

  std::int32_t OpenForReading(const char* name, Handle& handle) override {
    const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    handle = reinterpret_cast<Handle>(file);
    return 0;
  }

  std::int32_t Read(Handle handle, char* block, std::size_t capacity,
                    std::size_t& count) override {
    DWORD got = 0;
    if (!ReadFile(AsWindowsHandle(handle), block, static_cast<DWORD>(capacity), &got, nullptr)) {
      return LastError();
    }
    count = got;
    return 0;
  }

  std::int32_t Close(Handle handle) override {
    if (!CloseHandle(AsWindowsHandle(handle))) return LastError();
    return 0;
  }

  bool FindEntry(const char* name, TFoundEntry& entry) override {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(name, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    entry.IsDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.LastWrite = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
        found.ftLastWriteTime.dwLowDateTime);
    return true;
  }

  bool FitsDosDateTime(std::int64_t lastWrite) override {
    const std::uint64_t ticks = static_cast<std::uint64_t>(lastWrite);
    const FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&utc, &local)) return false;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToDosDateTime(&local, &date, &time)) return false;
    const std::uint64_t localTicks =
        (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return localTicks < kFirstTickAfter2107;
  }

  bool MoveEntry(const char* from, const char* to) override { return MoveFileA(from, to) != FALSE; }

  // Without a debugger the filter would bring up the system's crash handling
  // (a dialog, or a debugger started on the spot) and no report would ever be
  // written: the failure is offered only to a debugger that is attached.
  bool OfferToLastChanceFilter(const void* location) override {
    if (!IsDebuggerPresent()) return true;
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kProgramFailureCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = const_cast<void*>(location);
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    return UnhandledExceptionFilter(&pointers) != EXCEPTION_CONTINUE_SEARCH;
  }

  bool FindModule(const void* address, TModule& module) override {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == 0) return false;
    const HMODULE base = static_cast<HMODULE>(region.AllocationBase);
    if (GetModuleFileNameA(base, module.Path, kModulePathCapacity + 1) == 0) return false;
    module.LoadAddress = reinterpret_cast<std::uintptr_t>(base);
    return true;
  }

  char ModulePathSeparator() override { return '\\'; }
  bool IsLeadByte(unsigned char byte) override { return IsDBCSLeadByte(byte) != FALSE; }
  void ConvertToOemCodePage(char* text) override { CharToOemA(text, text); }

  void WriteStandardError(const char* bytes, std::size_t count) override {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, static_cast<DWORD>(count), &written, nullptr);
  }
};

}  // namespace

IPlatform& NativePlatform() {
  static TWin32Platform platform;
  return platform;
}

}  // namespace karsvren::platform
