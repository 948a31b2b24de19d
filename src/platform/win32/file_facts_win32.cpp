// Win32 backend: file facts with CreateFileA (no access asked, so nothing of the file
// changes) and GetFileInformationByHandle.
#include <windows.h>

#include "platform/file_facts.h"
#include "platform/win32/backend_win32.h"

namespace {

bool FactsOf(HANDLE handle, FileFacts& facts) {
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(handle, &information) == 0) return false;
  const auto wide = [](DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; };
  facts.isDirectory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.isRegular = !facts.isDirectory && GetFileType(handle) == FILE_TYPE_DISK;
  facts.size = static_cast<int64_t>(wide(information.nFileSizeHigh, information.nFileSizeLow));
  facts.modified = static_cast<int64_t>(
      wide(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime));
  facts.volume = information.dwVolumeSerialNumber;
  facts.index = wide(information.nFileIndexHigh, information.nFileIndexLow);
  return true;
}

}  // namespace

const int kLongestPath = MAX_PATH - 1;

bool ReadFileFacts(std::string_view path, FileFacts& facts) {
  char text[MAX_PATH];
  if (path.empty() || !CopyAnsiPath(path, text)) return false;
  // Backup semantics open folders too; no access right is needed for the facts, and
  // full sharing lets the file be opened while others hold it, and others open it
  // meanwhile (closed at once: the clip checks open the clips exclusively).
  const HANDLE handle = CreateFileA(text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = FactsOf(handle, facts);
  CloseHandle(handle);
  return known;
}

bool ReadOpenFileFacts(const TextFile& file, FileFacts& facts) {
  return file.state != TextFileState::Closed &&
         FactsOf(reinterpret_cast<HANDLE>(file.handle), facts);
}
