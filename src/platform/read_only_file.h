// Files read as bytes, opened only for reading and shared with everyone else: the
// reader never changes a byte or a time of them.
#pragma once

#include <cstdint>
#include <string_view>

struct ReadOnlyFile {
  intptr_t handle = 0;  ///< the system's open file, owned by the platform layer
  bool isOpen = false;
  bool isStandardInput = false;  ///< left open by CloseReadOnly
};

/// Opens an existing file for reading; others may keep reading and writing it.
/// Returns 0, or the system's error code (2 missing, 3 no such path, 5 access denied,
/// 32 held by another program); a folder fails too.
int32_t OpenReadOnly(ReadOnlyFile& file, std::string_view path);

/// Reads the process's standard input through `file`.
void UseStandardInput(ReadOnlyFile& file);

/// Reads up to `wanted` bytes from the current position into `bytes`; `got` is 0 at
/// the end of the file. Returns 0 or the system's error code.
int32_t ReadChunk(ReadOnlyFile& file, char* bytes, int32_t wanted, int32_t& got);

/// Closes the file; harmless on one that is not open and on standard input.
void CloseReadOnly(ReadOnlyFile& file);
