// Bytes written to standard output, standard error or a new file, unchanged: no line
// end is converted and nothing is buffered here (callers write large blocks).
#pragma once

#include <cstdint>
#include <string_view>

struct ByteOutput {
  intptr_t handle = 0;  ///< owned by the platform layer
  bool isOpen = false;
  bool isFile = false;  ///< a file this layer created, closed by CloseOutput
};

enum class StandardStream { Output, Error };

/// Makes `output` write to one of the process's standard streams.
void UseStandardStream(ByteOutput& output, StandardStream stream);

/// Creates the file at `path`, or empties an existing one, for writing; a device or a
/// pipe there is written as it is. Returns 0 or the system's error code.
int32_t CreateOutputFile(ByteOutput& output, std::string_view path);

/// Writes all `count` bytes. Returns 0 or the system's error code.
int32_t WriteOutput(ByteOutput& output, const char* bytes, int32_t count);

/// Closes a created file (its last bytes are then on the disk or the close fails);
/// a standard stream stays open. Returns 0 or the system's error code.
int32_t CloseOutput(ByteOutput& output);
