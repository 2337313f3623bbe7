#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "common/pending_error.h"
#include "run/console_channel.h"

namespace karsvren::testing {

namespace {
constexpr platform::Handle kStdout = 1;
constexpr platform::Handle kList = 7;
}  // namespace

void TFakePlatform::DeclareConsoleProgram() { Log.push_back("console program"); }

void TFakePlatform::EndProcess(int exitCode) {
  Log.push_back("end " + std::to_string(exitCode));
  ExitCode = exitCode;
}

bool TFakePlatform::OpenStandardOutput(platform::Handle& handle, bool& isCharacterDevice) {
  Log.push_back(StdoutUsable ? "open stdout" : "open stdout refused");
  if (!StdoutUsable) return false;
  handle = kStdout;
  isCharacterDevice = StdoutIsCharacterDevice;
  return true;
}

std::int32_t TFakePlatform::Write(platform::Handle handle, const char* bytes, std::size_t count) {
  if (handle != kStdout) return 6;
  WriteSizes.push_back(count);
  const std::size_t call = WriteSizes.size();
  Log.push_back("write " + std::to_string(count));
  if (auto fault = WriteFaults.find(call); fault != WriteFaults.end()) return fault->second;
  if (WriteFaultsFromCall != 0 && call >= static_cast<std::size_t>(WriteFaultsFromCall)) {
    return WriteFaultsFromCallError;
  }
  Stdout.append(bytes, count);
  return 0;
}

std::int32_t TFakePlatform::OpenForReading(const char* name, platform::Handle& handle) {
  Log.push_back(std::string("open list ") + name);
  if (!List) return OpenError;
  ListOpen = true;
  listPosition_ = 0;
  handle = kList;
  return 0;
}

std::int32_t TFakePlatform::Read(platform::Handle handle, char* block, std::size_t capacity,
                                 std::size_t& count) {
  ++ReadCalls;
  Log.push_back("read " + std::to_string(capacity));
  if (handle != kList || !ListOpen) return 6;
  if (FailReadsFromByte && listPosition_ >= *FailReadsFromByte) return ReadError;
  count = std::min({capacity, ReadChunk, List->size() - listPosition_});
  std::memcpy(block, List->data() + listPosition_, count);
  listPosition_ += count;
  return 0;
}

std::int32_t TFakePlatform::Close(platform::Handle handle) {
  Log.push_back("close list");
  if (handle != kList || !ListOpen) return 6;
  ListOpen = false;
  return CloseError;
}

bool TFakePlatform::FindEntry(const char* name, platform::TFoundEntry& entry) {
  Log.push_back(std::string("find ") + name);
  const auto found = Entries.find(name);
  if (found == Entries.end()) return false;
  entry.IsDirectory = found->second.IsDirectory;
  entry.LastWrite = found->second.LastWrite;
  return true;
}

bool TFakePlatform::FitsDosDateTime(std::int64_t lastWrite) {
  return lastWrite >= 1980 && lastWrite <= 2107;
}

bool TFakePlatform::MoveEntry(const char* from, const char* to) {
  Log.push_back(std::string("move ") + from + " -> " + to);
  const auto source = Entries.find(from);
  if (source == Entries.end() || Entries.count(to) != 0) return false;
  const TEntry entry = source->second;
  Entries.erase(source);
  Entries[to] = entry;
  return true;
}

bool TFakePlatform::OfferToLastChanceFilter(const void*) {
  Log.push_back("last-chance filter");
  return LastChanceFilterContinues;
}

bool TFakePlatform::FindModule(const void* address, platform::TModule& module) {
  std::strncpy(module.Path, ModulePath.c_str(), platform::kModulePathCapacity);
  module.LoadAddress = LoadAddress;
  return address != nullptr;
}

void TFakePlatform::ConvertToOemCodePage(char* text) {
  Log.push_back("to OEM");
  for (char* at = text; *at != '\0'; ++at) {
    if (*at == '\xE4') *at = '\x84';  // a-umlaut, as code page 1252 to 850 has it
  }
}

void TFakePlatform::WriteStandardError(const char* bytes, std::size_t count) {
  ++StderrWrites;
  Log.push_back("stderr " + std::to_string(count));
  Stderr.append(bytes, count);
}

std::vector<std::string> TFakePlatform::LogOf(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : Log) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

TFakePlatformScope::TFakePlatformScope() {
  ConsoleChannel() = TConsoleChannel();
  TakePendingError();
  platform::UsePlatform(&fake_);
}

TFakePlatformScope::~TFakePlatformScope() {
  platform::UsePlatform(nullptr);
  ConsoleChannel() = TConsoleChannel();
  TakePendingError();
}

}  // namespace karsvren::testing
