// The program's 8-bit texts in Unicode, for files that must be UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Appends the text, in the system's character set, as UTF-8: on Windows the
/// console's code page (GetOEMCP, the set of the program's arguments and file names),
/// elsewhere UTF-8 itself. Bytes that are not valid there become U+FFFD.
void AppendSystemTextAsUtf8(std::string_view text, std::string& utf8);

// The rest is for the platform layer's own backends.

/// Appends the bytes as they are where they are valid UTF-8 (no overlong forms, no
/// surrogates, nothing past U+10FFFF), each invalid byte as U+FFFD.
void AppendCheckedUtf8(std::string_view bytes, std::string& utf8);

/// Appends one code point as UTF-8.
void AppendCodePoint(uint32_t codePoint, std::string& utf8);
