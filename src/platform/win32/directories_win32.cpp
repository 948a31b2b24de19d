// Win32 backend: the current directory, simple file operations and directory
// searches with SetCurrentDirectoryA, CreateDirectoryA, DeleteFileA and FindFirstFileA.
#include <windows.h>

#include "platform/backend_shared.h"
#include "platform/directories.h"
#include "platform/win32/backend_win32.h"

namespace {

// A search that ends with no error number still has to answer non-zero.
int32_t SearchError() {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<int32_t>(error) : ERROR_NO_MORE_FILES;
}

void FillEntry(const WIN32_FIND_DATAA& found, DirectoryEntry& entry) {
  entry.name = ShortText(found.cFileName);
  entry.attributes = static_cast<uint8_t>(found.dwFileAttributes & 0x3F);
  // Sizes of 2 GiB and more are shown as the largest 32-bit size rather than wrapped
  // to a small number that could pass a size check.
  entry.size = (found.nFileSizeHigh != 0 || found.nFileSizeLow > 2147483647u)
                   ? 2147483647u
                   : static_cast<uint32_t>(found.nFileSizeLow);
  FILETIME local;
  WORD date = 0, time = 0;
  if (FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
      FileTimeToDosDateTime(&local, &date, &time)) {
    entry.time = (static_cast<uint32_t>(date) << 16) | time;
  } else {
    entry.time = 0;
  }
  // Junctions, symbolic links and mounted volumes are all reparse points.
  entry.leavesTree = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

HANDLE HandleOf(const DirectorySearch& search) {
  return reinterpret_cast<HANDLE>(search.state);
}

// Moves on from the entry in `found` to the first one that passes the filter.
int32_t DeliverPassing(DirectorySearch& search, WIN32_FIND_DATAA& found, DirectoryEntry& entry) {
  while (!EntryPassesFilter(static_cast<uint8_t>(found.dwFileAttributes & 0x3F), search.filter)) {
    if (!FindNextFileA(HandleOf(search), &found)) {
      const int32_t error = SearchError();
      EndSearch(search);
      return error;
    }
  }
  FillEntry(found, entry);
  return 0;
}

}  // namespace

ShortText GetCurrentDirectoryPath() {
  char path[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryA(sizeof path, path);
  if (length == 0 || length >= sizeof path) return ShortText();
  return ShortText(std::string_view(path, length));
}

bool ChangeDirectory(const ShortText& path) {
  if (path.empty()) return true;
  return SetCurrentDirectoryA(path.c_str()) != 0;
}

bool MakeDirectory(const ShortText& path) {
  if (path.empty()) return false;
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveFile(const ShortText& name) {
  if (name.empty()) return false;
  // Fails for read-only files, directories and files that any handle holds open
  // without delete sharing, which is every handle this program opens.
  return DeleteFileA(name.c_str()) != 0;
}

int32_t FindFirstEntry(std::string_view pattern, uint16_t filter, DirectorySearch& search,
                       DirectoryEntry& entry) {
  EndSearch(search);
  search.filter = filter;
  WIN32_FIND_DATAA found;
  char path[MAX_PATH];
  if (!CopyAnsiPath(pattern, path)) return ERROR_FILENAME_EXCED_RANGE;
  const HANDLE handle = FindFirstFileA(path, &found);
  if (handle == INVALID_HANDLE_VALUE) return SearchError();
  search.state = reinterpret_cast<intptr_t>(handle);
  return DeliverPassing(search, found, entry);
}

int32_t FindNextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  if (search.state == 0) return ERROR_NO_MORE_FILES;
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(HandleOf(search), &found)) {
    const int32_t error = SearchError();
    EndSearch(search);
    return error;
  }
  return DeliverPassing(search, found, entry);
}

void EndSearch(DirectorySearch& search) {
  if (search.state != 0) FindClose(HandleOf(search));
  search.state = 0;
}
