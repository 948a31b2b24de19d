// Windows-only pieces of the platform layer that its Windows tests reach as well.
#pragma once

#include <windows.h>

#include <cstdint>

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
