// Windows tests only: large files made sparse through the file system itself.
#include <windows.h>
#include <winioctl.h>

#include <string>

#include "platform/test_support.h"

std::string MakeSparseFile(const std::string& path, std::uintmax_t size) {
  // Extending a file by its end-of-file mark allocates the whole size on NTFS unless
  // the file is sparse, and FAT volumes have no sparse files (nor files of 4 GiB). The
  // volume is not asked for its file system: under Wine run by qemu-user that request
  // now and then never returns (docs/windows.md).
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot create " + path;
  // The file system's own answer decides (Wine calls its volumes NTFS without sparse
  // files, yet marks a file sparse and leaves a hole in the host's file).
  DWORD returned = 0;
  bool done = DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  std::string failure;
  if (!done) {
    failure =
        "the volume of " + path + " has no sparse files: error " + std::to_string(GetLastError());
  } else {
    LONG high = static_cast<LONG>(size >> 32);
    done = SetFilePointer(file, static_cast<LONG>(size & 0xFFFFFFFF), &high, FILE_BEGIN) !=
               INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
    done = done && SetEndOfFile(file);
    if (!done) failure = "cannot extend " + path + ": error " + std::to_string(GetLastError());
  }
  CloseHandle(file);
  if (!done) DeleteFileA(path.c_str());
  return failure;
}
