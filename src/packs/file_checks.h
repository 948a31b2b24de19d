// Finding installed programs on the drives, and presence and size checks of files.
// None of these prints anything; each answers its caller, which reports.
#pragma once

#include <cstdint>

#include "platform/short_text.h"

/// Searches the drives C: to Z:, in letter order, for a file called `name` (letters
/// A-Z in either case) of exactly `size` bytes, or of any size when `size` is 0.
/// Returns the directory of the first match, ending with "\" ("C:\", "D:\Tools\"),
/// or an empty text when no drive holds one. A drive that cannot be entered is
/// skipped; the first drive holding a match wins. The current directory is the same
/// on return as on entry.
ShortText FindProgramOnDrives(const ShortText& name, int32_t size);

/// Searches the tree below `dir` (a path ending with "\") depth first, in listing
/// order, for `name` as FindProgramOnDrives does, and returns the directory of the
/// first match or an empty text. Subdirectories are searched when they are met in
/// the listing; the first entry named `name` (a directory too) ends the scan of its
/// directory, and with a nonzero `size` a match of another size, or one held open
/// by another process, ends it without a result. Never enters a link, another
/// volume mounted inside the tree, or a directory whose path would not fit in a
/// short text. May leave another current directory behind.
ShortText FindFileInTree(const ShortText& dir, const ShortText& name, int32_t size);

/// With `size` 0: true when `name` in `dir` (no trailing "\"; empty for the current
/// directory) is a file, not a directory; nothing is opened, so a file held open by
/// another process counts. With a nonzero size: true when the file can be opened
/// exclusively and is exactly `size` bytes long. False for an empty name. The
/// current directory is the same on return as on entry.
bool CheckFile(const ShortText& dir, const ShortText& name, int32_t size);

/// True when `name` in `dir` (as for CheckFile) can be opened exclusively and its
/// size differs from `expected` by at most `tolerance` bytes. An `expected` of 0
/// asks for a file of at most `tolerance` bytes. False for an empty name. The
/// current directory is the same on return as on entry.
bool CheckFileSizeWithin(const ShortText& dir, const ShortText& name, int32_t expected,
                         int32_t tolerance);
