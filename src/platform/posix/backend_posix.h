// POSIX backend only: pieces that are shared between its files and reached by its tests.
#pragma once

#include <cstdint>

/// Keeps a copy of the program's arguments for CommandArgument.
void SetCommandArguments(int argc, const char* const* argv);

/// The filter rule of a directory search: an entry is skipped when it carries one of
/// hidden, system, volume label, directory or archive that the filter's low byte does
/// not list, or lacks an attribute of its high byte. Read-only never excludes.
bool EntryPassesFilter(uint8_t attributes, uint16_t filter);
