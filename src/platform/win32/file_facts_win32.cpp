// Win32 backend: file facts with CreateFileA (no access asked, so nothing of the file
// changes) and GetFileInformationByHandle.
#include <windows.h>

#include "platform/file_facts.h"

bool ReadFileFacts(const ShortText& path, FileFacts& facts) {
  if (path.empty()) return false;
  // Backup semantics open folders too; no access right is needed for the facts.
  const HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  const auto wide = [](DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; };
  facts.isDirectory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.size = static_cast<int64_t>(wide(information.nFileSizeHigh, information.nFileSizeLow));
  facts.modified = static_cast<int64_t>(
      wide(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime));
  facts.volume = information.dwVolumeSerialNumber;
  facts.index = wide(information.nFileIndexHigh, information.nFileIndexLow);
  return true;
}
