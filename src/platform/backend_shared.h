// Inside the platform layer only: what its portable files and the two backends ask of
// each other. Nothing above the layer includes this header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/short_text.h"

// Implemented by each backend, for the portable process.cpp.

/// Starts the program as RunProgram describes. When `waits`, returns after the
/// program's end; with a `tick` as well, the wait is a wait of `intervalMs` at a time
/// and `tick` runs after each that the program outlasts. 0 when started, else the
/// system's error code (then nothing was started).
int32_t StartProgram(const ShortText& program, const ShortText& arguments, bool waits,
                     int intervalMs, void (*tick)());

// Portable rules that the backends apply.

/// The filter rule of a directory search: an entry is skipped when it carries one of
/// hidden, system, volume label, directory or archive that the filter's low byte does
/// not list, or lacks one of them that its high byte lists. Read-only never excludes,
/// neither as a forbidden nor as a required attribute.
bool EntryPassesFilter(uint8_t attributes, uint16_t filter);

/// The value in `entry`, an environment entry "NAME=value", when its name is `name`
/// with "a" to "z" compared as their capitals; null when it names another variable.
const char* ValueOfEntryNamed(const char* entry, const ShortText& name);

/// Appends the bytes as they are where they are valid UTF-8 (no overlong forms, no
/// surrogates, nothing past U+10FFFF), each invalid byte as U+FFFD.
void AppendCheckedUtf8(std::string_view bytes, std::string& utf8);

/// Appends one code point as UTF-8.
void AppendCodePoint(uint32_t codePoint, std::string& utf8);
