// Operating-system file handles under the portable file operations (raw_file.cpp,
// text_file.cpp). Each backend implements these; nothing above this layer sees them.
// Every function returns 0 on success or an error code for the pending I/O result.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/short_text.h"

/// An open file of the operating system, as RawFile and TextFile hold it.
using FileHandle = intptr_t;

enum class HandleMode {
  ReadExclusive,      ///< read only, no sharing, existing file
  ReadShared,         ///< read only, read and write sharing, existing file
  ReadWriteCreate,    ///< read and write, shared, created or emptied
  ReadWriteExisting,  ///< read and write, shared, existing file
  /// Read and write, shared, a file that must not exist yet (a link in its place
  /// counts as one); never emptied.
  ReadWriteNew,
  /// Read and write, shared, existing file, never through a symbolic link as the last
  /// part of the name (kIoSymbolicLink; Windows 2000 and XP have no links to files).
  ReadWriteExistingNoLink,
  /// Write only, shared, created or emptied where it is a disk file; a device or a
  /// pipe is written as it is.
  WriteCreate,
};

int32_t OpenHandle(std::string_view name, HandleMode mode, FileHandle& handle);
int32_t ReadHandle(FileHandle handle, char* bytes, int32_t wanted, int32_t& got);
int32_t WriteHandle(FileHandle handle, const char* bytes, int32_t count);
int32_t HandleSize(FileHandle handle, int64_t& size);
/// Moves the file position to `offset` bytes from the start.
int32_t SeekHandle(FileHandle handle, int64_t offset);
/// Cuts the file off at the current position.
int32_t TruncateHandle(FileHandle handle);
int32_t CloseHandleOf(FileHandle handle);

/// The process's standard output (`error` false) or standard error; never closed.
FileHandle StandardStreamHandle(bool error);
/// The process's standard input; never closed.
FileHandle StandardInputHandle();

// The seam of the file faults that tests arm (file_faults.h), kept by file_faults.cpp.

/// For the platform's own file operations: WriteHandle, unless a write failure armed
/// by FailWritesFrom is due.
int32_t WriteThroughFaults(FileHandle handle, const char* bytes, int32_t count);

/// For the platform's own file operations: CloseHandleOf, unless `written` (the file
/// was open for writing) and a close failure armed by FailNextClose is due; the handle is closed
/// either way.
int32_t CloseThroughFaults(FileHandle handle, bool written);
