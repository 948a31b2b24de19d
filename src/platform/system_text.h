// The program's 8-bit texts in Unicode, for files that must be UTF-8.
#pragma once

#include <string>
#include <string_view>

/// Appends the text, in the system's character set, as UTF-8: on Windows the
/// console's code page (GetOEMCP, the set of the program's arguments and file names),
/// elsewhere UTF-8 itself. Bytes that are not valid there become U+FFFD.
void AppendSystemTextAsUtf8(std::string_view text, std::string& utf8);
