// Byte text: every name and field of the program is a string of bytes in the
// system's ANSI code page. Any byte value may occur, NUL included; lengths and
// positions count bytes. Nothing here knows of characters that take two bytes.
#pragma once

#include <string>
#include <string_view>

namespace karsvren {

using Text = std::string;
using TextView = std::string_view;

}  // namespace karsvren
