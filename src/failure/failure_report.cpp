#include "failure/failure_report.h"

#include <cstring>

#include "common/check_pending_error.h"
#include "platform/platform.h"
#include "run/console_channel.h"

namespace karsvren {
namespace {

// Appends to a fixed buffer and stops at its capacity.
class TBoundedText {
 public:
  explicit TBoundedText(char (&text)[kFailureReportCapacity + 1]) : text_(text) {}

  TBoundedText& operator<<(TextView piece) {
    const std::size_t room = kFailureReportCapacity - length_;
    const std::size_t part = piece.size() < room ? piece.size() : room;
    std::memcpy(text_ + length_, piece.data(), part);
    length_ += part;
    text_[length_] = '\0';
    return *this;
  }

  std::size_t Length() const { return length_; }

 private:
  char (&text_)[kFailureReportCapacity + 1];
  std::size_t length_ = 0;
};

// The file name of a module path: what follows its last separator. The scan
// steps over two-byte characters whole, so that a trail byte is never taken
// for a separator.
const char* ModuleName(const char* path, platform::IPlatform& system) {
  const char separator = system.ModulePathSeparator();
  const char* name = path;
  for (const char* at = path; *at != '\0'; ++at) {
    if (*at == separator) {
      name = at + 1;
    } else if (system.IsLeadByte(static_cast<unsigned char>(*at)) && at[1] != '\0') {
      ++at;
    }
  }
  return name;
}

// Exactly eight upper-case hexadecimal digits.
void FormatOffset(std::uintptr_t offset, char (&digits)[9]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int place = 7; place >= 0; --place) {
    digits[place] = kHex[offset & 0xF];
    offset >>= 4;
  }
  digits[8] = '\0';
}

}  // namespace

std::size_t FormatFailureReport(const Exception& failure, const void* location,
                                char (&text)[kFailureReportCapacity + 1]) {
  platform::IPlatform& system = platform::Platform();
  platform::TModule module;
  if (!system.FindModule(location, module)) module = platform::TModule{};
  char offset[9];
  FormatOffset(reinterpret_cast<std::uintptr_t>(location) - module.LoadAddress, offset);

  const Text& message = failure.Message();
  const bool needsFullStop = !message.empty() && message.back() != '.';

  TBoundedText report(text);
  report << "Exception " << failure.ClassName() << " in module "
         << ModuleName(module.Path, system) << " at " << offset << ".\r\n"
         << message << (needsFullStop ? "." : "") << "\r\n";
  return report.Length();
}

void ReportFailure(const Exception& failure, const void* location) {
  char text[kFailureReportCapacity + 1];
  const std::size_t length = FormatFailureReport(failure, location, text);

  // Everything the run printed reaches standard output before the report.
  ConsoleChannel().Flush(); CheckPendingError();

  platform::IPlatform& system = platform::Platform();
  system.ConvertToOemCodePage(text);
  system.WriteStandardError(text, length);
  system.WriteStandardError("\r\n", 2);
}

}  // namespace karsvren
