// The current directory, simple file operations and directory searches. All paths
// are Windows path texts ("\" separators, drive letters).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/short_text.h"

/// The full path of the current directory, without a trailing "\" except for a
/// drive root ("D:\"). Empty when it cannot be read.
ShortText GetCurrentDirectoryPath();

/// Makes the path the current directory; a relative path is taken from the current
/// directory. On failure nothing changes. An empty path succeeds and changes nothing.
bool ChangeDirectory(const ShortText& path);

/// Creates one directory; false when it exists already or its parent does not.
bool MakeDirectory(const ShortText& path);

/// Deletes one file; false when it is missing, read-only, a directory, or held open
/// by any other process or by another open file of this program.
bool RemoveFile(const ShortText& name);

/// True when the first directory entry matching the name exists and is not a
/// directory; hidden, system and read-only files count.
bool FileIsPresent(const ShortText& name);

/// Attribute flags of a directory entry.
constexpr uint8_t kAttributeReadOnly = 0x01;
constexpr uint8_t kAttributeHidden = 0x02;
constexpr uint8_t kAttributeSystem = 0x04;
constexpr uint8_t kAttributeVolumeLabel = 0x08;
constexpr uint8_t kAttributeDirectory = 0x10;
constexpr uint8_t kAttributeArchive = 0x20;

/// The filter that delivers every entry, "." and ".." included.
constexpr uint16_t kEveryEntry = 0x3F;

/// One result of a directory search.
struct DirectoryEntry {
  ShortText name;          ///< the long name, without directory
  uint8_t attributes = 0;  ///< kAttribute flags; a link to a directory is a directory
  uint32_t size = 0;       ///< size in bytes, at most 2147483647; 0 where a listing omits it
  uint32_t time = 0;       ///< last write, local time, packed the DOS way; 0 where omitted
  /// The entry is reached through a link (a symbolic link, a junction) or is the
  /// root of another volume mounted there: a tree search never enters it.
  bool leavesTree = false;
};

/// A running directory search. Released by FindNextEntry when its entries are
/// exhausted, or by EndSearch.
struct DirectorySearch {
  intptr_t state = 0;  ///< owned by the platform layer; 0 when no search runs
  uint16_t filter = 0;
};

/// Starts a search for `pattern`, a path whose last part may hold "*" and "?"
/// ("*.*" matches every name). The filter's low byte lists the attributes an entry
/// may have, its high byte those it must have; read-only never excludes. Returns 0
/// and the first entry that passes, or non-zero when there is none.
int32_t FindFirstEntry(std::string_view pattern, uint16_t filter, DirectorySearch& search,
                       DirectoryEntry& entry);

/// Delivers the next entry that passes the filter; non-zero when exhausted.
int32_t FindNextEntry(DirectorySearch& search, DirectoryEntry& entry);

/// Releases a search that was not run to its end; harmless on a finished one.
void EndSearch(DirectorySearch& search);
