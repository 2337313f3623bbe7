// karsvren with faults put into its platform layer, for the end-to-end
// suite's fault cases. The program is the real one; only the platform calls
// named by these environment variables behave otherwise:
//   KARSVREN_FAULT_READ_AT=N      reads of the list stop at byte N and every
//                                 read from there on fails...
//   KARSVREN_FAULT_READ_ERROR=C   ...with this error code (default 1117)
//   KARSVREN_FAULT_TARGET_RACE=1  right before each move, another program
//                                 creates the target (content "racer")
// This entry is built for the tests only; the shipped program reads no
// environment variable.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "failure/guard.h"
#include "platform/platform.h"
#include "run/renaming_run.h"

namespace {

using namespace karsvren::platform;

class TFaultyPlatform final : public IPlatform {
 public:
  explicit TFaultyPlatform(IPlatform& real) : real_(real) {
    if (const char* at = std::getenv("KARSVREN_FAULT_READ_AT")) {
      failReadsAt_ = std::stoll(at);
    }
    if (const char* code = std::getenv("KARSVREN_FAULT_READ_ERROR")) {
      readError_ = std::stoi(code);
    }
    const char* race = std::getenv("KARSVREN_FAULT_TARGET_RACE");
    targetRace_ = race != nullptr && std::string(race) == "1";
  }

  void AdviseLargeBlock(void* block, std::size_t size) override { real_.AdviseLargeBlock(block, size); }
  void DeclareConsoleProgram() override { real_.DeclareConsoleProgram(); }
  void EndProcess(int exitCode) override { real_.EndProcess(exitCode); }
  bool OpenStandardOutput(Handle& handle, bool& isCharacterDevice) override {
    return real_.OpenStandardOutput(handle, isCharacterDevice);
  }
  std::int32_t Write(Handle handle, const char* bytes, std::size_t count) override {
    return real_.Write(handle, bytes, count);
  }
  std::int32_t OpenForReading(const char* name, Handle& handle) override {
    return real_.OpenForReading(name, handle);
  }
  std::int32_t Read(Handle handle, char* block, std::size_t capacity, std::size_t& count) override {
    if (failReadsAt_ >= 0) {
      if (position_ >= failReadsAt_) return readError_;
      const long long room = failReadsAt_ - position_;
      if (static_cast<long long>(capacity) > room) capacity = static_cast<std::size_t>(room);
    }
    const std::int32_t error = real_.Read(handle, block, capacity, count);
    if (error == 0) position_ += static_cast<long long>(count);
    return error;
  }
  std::int32_t Close(Handle handle) override { return real_.Close(handle); }
  bool FindEntry(const char* name, TFoundEntry& entry) override { return real_.FindEntry(name, entry); }
  bool FitsDosDateTime(std::int64_t lastWrite) override { return real_.FitsDosDateTime(lastWrite); }
  bool MoveEntry(const char* from, const char* to) override {
    if (targetRace_) {
      if (std::FILE* racer = std::fopen(to, "wbx")) {
        std::fputs("racer", racer);
        std::fclose(racer);
      }
    }
    return real_.MoveEntry(from, to);
  }
  bool OfferToLastChanceFilter(const void* location) override {
    return real_.OfferToLastChanceFilter(location);
  }
  bool FindModule(const void* address, TModule& module) override { return real_.FindModule(address, module); }
  char ModulePathSeparator() override { return real_.ModulePathSeparator(); }
  bool IsLeadByte(unsigned char byte) override { return real_.IsLeadByte(byte); }
  void ConvertToOemCodePage(char* text) override { real_.ConvertToOemCodePage(text); }
  void WriteStandardError(const char* bytes, std::size_t count) override {
    real_.WriteStandardError(bytes, count);
  }

 private:
  IPlatform& real_;
  long long failReadsAt_ = -1;
  long long position_ = 0;
  std::int32_t readError_ = 1117;
  bool targetRace_ = false;
};

}  // namespace

int main() {
  static TFaultyPlatform faulty(NativePlatform());
  UsePlatform(&faulty);
  const int exitCode = karsvren::RunGuarded(&karsvren::RenamingRun);
  karsvren::ProgramEnd(exitCode);
  return exitCode;
}
