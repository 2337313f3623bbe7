#include "failure/io_message_table.h"

#include <string>

namespace karsvren {
namespace {

struct TIoMessageRow {
  std::int32_t ErrorCode;
  const char* Message;
};

constexpr TIoMessageRow kIoMessageRows[] = {
    {2, "File not found"},
    {3, "Invalid filename"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {100, "Read beyond end of file"},
    {101, "Disk full"},
    {106, "Invalid numeric input"},
};

}  // namespace

Text IoMessageTable(std::int32_t errorCode) {
  for (const TIoMessageRow& row : kIoMessageRows) {
    if (row.ErrorCode == errorCode) return row.Message;
  }
  return "I/O error " + std::to_string(errorCode);
}

}  // namespace karsvren
