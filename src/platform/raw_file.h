// Files opened only to learn their size. Every failure is reported through the
// pending I/O result (io_result.h).
#pragma once

#include <cstdint>

#include "platform/short_text.h"

/// A file opened read-only and exclusively, only to learn its size.
struct RawFile {
  ShortText name;
  bool isOpen = false;
  intptr_t handle = 0;  ///< the system's open file, owned by the platform layer
};

/// Opens an existing file for reading, exclusively: fails while any other process
/// (or another open file of this program) has it open. A missing file fails with 2,
/// a directory fails too.
void OpenForReading(RawFile& file, const ShortText& name);

/// Size in bytes, at most 2147483647. A file that is not open gives 0 and code 103.
int32_t FileLength(RawFile& file);

/// Closes the file; a file that is not open gives code 103.
void CloseFile(RawFile& file);
