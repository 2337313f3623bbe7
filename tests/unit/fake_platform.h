// A platform that lives in memory: it scripts faults and logs every call, so
// that a test can check what the program asked of the system, and in which
// order and sizes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace karsvren::testing {

class TFakePlatform final : public platform::IPlatform {
 public:
  struct TEntry {
    bool IsDirectory = false;
    std::int64_t LastWrite = 2000;  // a year; 1980 to 2107 fits
  };

  // Standard output.
  bool StdoutUsable = true;
  bool StdoutIsCharacterDevice = false;
  std::string Stdout;
  std::vector<std::size_t> WriteSizes;  // one entry per write call
  // The write calls (counted from 1) that are refused, with their codes.
  std::map<std::size_t, std::int32_t> WriteFaults;
  std::int32_t WriteFaultsFromCall = 0;  // every write from this call on fails...
  std::int32_t WriteFaultsFromCallError = 0;  // ...with this code

  // The track list.
  std::optional<std::string> List = std::string();  // nullopt: no such file
  std::int32_t OpenError = 2;  // given when List is nullopt
  std::size_t ReadChunk = 128;  // most bytes one read gives
  std::optional<std::size_t> FailReadsFromByte;  // reads starting there fail
  std::int32_t ReadError = 0;
  std::int32_t CloseError = 0;
  std::size_t ReadCalls = 0;
  bool ListOpen = false;

  // The directory, by name.
  std::map<std::string, TEntry> Entries;

  // Failure report.
  std::string ModulePath = "/opt/karsvren/bin/karsvren";
  std::uintptr_t LoadAddress = 0x10000;
  char Separator = '/';
  unsigned char LeadByte = 0;  // 0: no two-byte characters
  bool LastChanceFilterContinues = true;
  std::string Stderr;
  std::size_t StderrWrites = 0;
  std::optional<int> ExitCode;

  // Every call, in order, in a short readable form.
  std::vector<std::string> Log;

  void AdviseLargeBlock(void*, std::size_t) override {}
  void DeclareConsoleProgram() override;
  void EndProcess(int exitCode) override;
  bool OpenStandardOutput(platform::Handle& handle, bool& isCharacterDevice) override;
  std::int32_t Write(platform::Handle handle, const char* bytes, std::size_t count) override;
  std::int32_t OpenForReading(const char* name, platform::Handle& handle) override;
  std::int32_t Read(platform::Handle handle, char* block, std::size_t capacity,
                    std::size_t& count) override;
  std::int32_t Close(platform::Handle handle) override;
  bool FindEntry(const char* name, platform::TFoundEntry& entry) override;
  bool FitsDosDateTime(std::int64_t lastWrite) override;
  bool MoveEntry(const char* from, const char* to) override;
  bool OfferToLastChanceFilter(const void* location) override;
  bool FindModule(const void* address, platform::TModule& module) override;
  char ModulePathSeparator() override { return Separator; }
  bool IsLeadByte(unsigned char byte) override { return LeadByte != 0 && byte == LeadByte; }
  void ConvertToOemCodePage(char* text) override;
  void WriteStandardError(const char* bytes, std::size_t count) override;

  // The log lines that begin with `prefix`.
  std::vector<std::string> LogOf(const std::string& prefix) const;

 private:
  std::size_t listPosition_ = 0;
};

// Puts a fresh fake in place for one test and takes it out again; also
// empties the console channel and the pending error code.
class TFakePlatformScope {
 public:
  TFakePlatformScope();
  ~TFakePlatformScope();
  TFakePlatform& Fake() { return fake_; }

 private:
  TFakePlatform fake_;
};

}  // namespace karsvren::testing
