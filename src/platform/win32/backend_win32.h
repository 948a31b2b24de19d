// Windows-only pieces of the platform layer that its Windows tests reach as well.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string_view>

/// A path as the ANSI calls take it: NUL-terminated in a buffer of MAX_PATH characters,
/// with no allocation (the static runtime's operator new is i686 code, which a Pentium
/// cannot run). False, with nothing copied, for a longer path.
inline bool CopyAnsiPath(std::string_view path, char (&text)[MAX_PATH]) {
  if (path.size() >= MAX_PATH) return false;
  std::memcpy(text, path.data(), path.size());
  text[path.size()] = '\0';
  return true;
}

/// True when this console key event counts as a key press for WaitForKey: a key
/// going down that yields a character or is a function, cursor or editing key.
/// Shift, Ctrl, Alt and the lock keys alone never count, nor does a release.
bool KeyPressCounts(const KEY_EVENT_RECORD& key);

/// Free bytes of a drive (0 the current one, 1 A:, ...) from the extended query or
/// from the cluster counts of the old one; at most 2147483647, -1 when the drive
/// cannot be read. FreeDiskBytes uses the extended query where the system has it.
int32_t FreeDiskBytesBy(int drive, bool extendedQuery);

/// The handler registered for console interruptions: Ctrl-C and Ctrl-Break end the
/// process at once with STATUS_CONTROL_C_EXIT; other events are left to the system.
BOOL WINAPI InterruptHandler(DWORD event);
