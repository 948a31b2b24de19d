// Files opened to learn their size: portable, over the backend's file handles.
#include "platform/raw_file.h"

#include "platform/file_handles.h"
#include "platform/io_result.h"

void OpenForReading(RawFile& file, const ShortText& name) {
  // Opening a file that is still open starts over rather than losing its handle.
  if (file.isOpen) CloseHandleOf(file.handle);
  file.isOpen = false;
  file.name = name;
  FileHandle handle = 0;
  const int32_t code = OpenHandle(name.view(), HandleMode::ReadExclusive, handle);
  if (code != 0) {
    SetIoResult(code);
    return;
  }
  file.handle = handle;
  file.isOpen = true;
}

int32_t FileLength(RawFile& file) {
  if (!file.isOpen) {
    SetIoResult(kIoFileNotOpen);
    return 0;
  }
  int64_t size = 0;
  const int32_t code = HandleSize(file.handle, size);
  if (code != 0) {
    SetIoResult(code);
    return 0;
  }
  // A size of 2 GiB or more must not wrap to a small number that passes a size check.
  return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

void CloseFile(RawFile& file) {
  if (!file.isOpen) {
    SetIoResult(kIoFileNotOpen);
    return;
  }
  file.isOpen = false;
  const int32_t code = CloseHandleOf(file.handle);
  if (code != 0) SetIoResult(code);
}
