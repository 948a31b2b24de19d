// Bytes written to a standard stream or a new file.
#include "platform/byte_output.h"

#include "platform/file_handles.h"
#include "platform/io_result.h"

void UseStandardStream(ByteOutput& output, StandardStream stream) {
  output.handle = StandardStreamHandle(stream == StandardStream::Error);
  output.isOpen = true;
  output.isFile = false;
}

int32_t CreateOutputFile(ByteOutput& output, std::string_view path) {
  FileHandle handle = 0;
  const int32_t code = OpenHandle(path, HandleMode::WriteCreate, handle);
  if (code != 0) return code;
  output.handle = handle;
  output.isOpen = true;
  output.isFile = true;
  return 0;
}

int32_t WriteOutput(ByteOutput& output, const char* bytes, int32_t count) {
  if (!output.isOpen) return kIoFileNotOpen;
  return WriteHandle(output.handle, bytes, count);
}

int32_t CloseOutput(ByteOutput& output) {
  if (!output.isOpen || !output.isFile) return 0;
  output.isOpen = false;
  return CloseHandleOf(output.handle);
}
