// Windows-only pieces of the platform layer that its Windows tests reach as well.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "platform/short_text.h"

/// The n-th argument (n from 1) of a whole Windows command line: the program's own
/// name, quoted or not, is removed first; before each argument characters 1 to 32
/// and empty pairs of double quotes are skipped; an argument runs to the next
/// character of code 32 or less outside double quotes, the quotes dropped; each is
/// cut at 255 characters. Empty beyond the last argument and for n below 1.
ShortText ArgumentOfCommandLine(std::string_view commandLine, int n);

/// True when this console key event counts as a key press for WaitForKey: a key
/// going down that yields a character or is a function, cursor or editing key.
/// Shift, Ctrl, Alt and the lock keys alone never count, nor does a release.
bool KeyPressCounts(const KEY_EVENT_RECORD& key);

/// The filter rule of a directory search: an entry is skipped when it carries one
/// of hidden, system, volume label, directory or archive that the filter's low byte
/// does not list, or lacks an attribute of its high byte. Read-only never excludes.
bool EntryPassesFilter(uint8_t attributes, uint16_t filter);

/// Free bytes of a drive (0 the current one, 1 A:, ...) from the extended query or
/// from the cluster counts of the old one; at most 2147483647, -1 when the drive
/// cannot be read. FreeDiskBytes uses the extended query where the system has it.
int32_t FreeDiskBytesBy(int drive, bool extendedQuery);

/// The handler registered for console interruptions: Ctrl-C and Ctrl-Break end the
/// process at once with STATUS_CONTROL_C_EXIT; other events are left to the system.
BOOL WINAPI InterruptHandler(DWORD event);
