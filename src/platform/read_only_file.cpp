// Files read as bytes.
#include "platform/read_only_file.h"

#include "platform/file_handles.h"
#include "platform/io_result.h"

int32_t OpenReadOnly(ReadOnlyFile& file, std::string_view path) {
  FileHandle handle = 0;
  const int32_t code = OpenHandle(path, HandleMode::ReadShared, handle);
  if (code != 0) return code;
  file.handle = handle;
  file.isOpen = true;
  return 0;
}

int32_t ReadChunk(ReadOnlyFile& file, char* bytes, int32_t wanted, int32_t& got) {
  got = 0;
  if (!file.isOpen) return kIoFileNotOpen;
  return ReadHandle(file.handle, bytes, wanted, got);
}

void UseStandardInput(ReadOnlyFile& file) {
  file.handle = StandardInputHandle();
  file.isOpen = true;
  file.isStandardInput = true;
}

void CloseReadOnly(ReadOnlyFile& file) {
  if (!file.isOpen) return;
  if (!file.isStandardInput) CloseHandleOf(file.handle);
  file.isOpen = false;
}
