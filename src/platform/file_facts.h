// What the system knows of a file or folder without reading it: kind, size, last
// change and identity.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/short_text.h"
#include "platform/text_file.h"

struct FileFacts {
  bool isDirectory = false;
  /// A file of bytes on a disk: no folder, pipe, device or socket.
  bool isRegular = false;
  int64_t size = 0;
  /// The last modification, in the system's own units: only ever compared.
  int64_t modified = 0;
  /// The volume and the file's number on it: equal for every path (and link) that
  /// reaches the same file.
  uint64_t volume = 0;
  uint64_t index = 0;
};

/// Learns the facts of the file or folder at `path`, following links, without
/// opening its contents and without changing anything of it (its times included).
/// False when it does not exist or cannot be asked.
bool ReadFileFacts(std::string_view path, FileFacts& facts);

/// The same of the file that `file` has open (a text file open for writing): the
/// file itself, whatever name and links led to it. False when the system cannot tell.
bool ReadOpenFileFacts(const TextFile& file, FileFacts& facts);

/// The longest path the system's calls take (on Windows the ANSI calls' MAX_PATH, its
/// terminating NUL left out); the platform's calls fail for longer ones.
extern const int kLongestPath;

inline bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.volume == b.volume && a.index == b.index;
}
