// The one seam between the program and the operating system. The program
// asks the platform only for what it needs; platform_posix.cpp and
// platform_win32.cpp answer with the system's own calls, and a test can put
// in a fake that scripts faults and logs the calls.
//
// Error codes are the ones the program reports: 0 for success, otherwise the
// platform's error number, with no such file as 2, no such path as 3, too
// many open files as 4 and access refused as 5.
#pragma once

#include <cstddef>
#include <cstdint>

namespace karsvren::platform {

// An open file or device, as the platform names it.
using Handle = std::intptr_t;
// No file at all: neither a valid descriptor nor a valid Windows handle.
inline constexpr Handle kNoHandle = -1;

// The error code with which a read reports a pipe whose writer has gone.
inline constexpr std::int32_t kBrokenPipe = 109;

// What the existence test learns of a directory entry.
struct TFoundEntry {
  bool IsDirectory = false;
  // The last-write time in the platform's own units; only
  // FitsDosDateTime reads it.
  std::int64_t LastWrite = 0;
};

// The module that holds a code address.
inline constexpr std::size_t kModulePathCapacity = 260;
struct TModule {
  char Path[kModulePathCapacity + 1] = {};  // full path, NUL-terminated
  std::uintptr_t LoadAddress = 0;
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;

  // Memory: told of every large block the program takes, so that the system
  // can back it with large pages (fewer page faults for a very long line).
  virtual void AdviseLargeBlock(void* block, std::size_t size) = 0;

  // Process start and end.
  virtual void DeclareConsoleProgram() = 0;
  virtual void EndProcess(int exitCode) = 0;

  // Standard output. Fails when there is no usable standard output; tells a
  // character device (console, terminal, null device) from the rest.
  virtual bool OpenStandardOutput(Handle& handle, bool& isCharacterDevice) = 0;
  // Writes all bytes or fails; the count written is not reported.
  virtual std::int32_t Write(Handle handle, const char* bytes, std::size_t count) = 0;

  // The track list file: opened for reading only, shared for reading only.
  virtual std::int32_t OpenForReading(const char* name, Handle& handle) = 0;
  // One read of at most `capacity` bytes; `count` 0 with success is the end.
  virtual std::int32_t Read(Handle handle, char* block, std::size_t capacity,
                            std::size_t& count) = 0;
  virtual std::int32_t Close(Handle handle) = 0;

  // Existence test and rename. Names are NUL-terminated bytes.
  virtual bool FindEntry(const char* name, TFoundEntry& entry) = 0;
  // True when the last-write time, in local time, can be expressed as an
  // MS-DOS date and time (1980-01-01 00:00:00 to 2107-12-31 23:59:59).
  virtual bool FitsDosDateTime(std::int64_t lastWrite) = 0;
  // Moves an entry; never replaces an existing entry. True when moved.
  virtual bool MoveEntry(const char* from, const char* to) = 0;

  // Failure report.
  // Offers a failure to the platform's last-chance handling; false when the
  // platform takes it over and no report is to be written.
  virtual bool OfferToLastChanceFilter(const void* location) = 0;
  virtual bool FindModule(const void* address, TModule& module) = 0;
  // The byte that ends a module path's directory part, and whether a byte
  // starts a character of two bytes in the code page of module paths.
  virtual char ModulePathSeparator() = 0;
  virtual bool IsLeadByte(unsigned char byte) = 0;
  // Converts a NUL-terminated text in place to the console's code page.
  virtual void ConvertToOemCodePage(char* text) = 0;
  // Writes to standard error, asking for its handle each time; the outcome
  // is not reported.
  virtual void WriteStandardError(const char* bytes, std::size_t count) = 0;
};

// The platform the program runs on.
IPlatform& NativePlatform();

// The platform in use: the native one, unless a test has put in its own.
IPlatform& Platform();
void UsePlatform(IPlatform* platform);  // nullptr: back to the native one

}  // namespace karsvren::platform
