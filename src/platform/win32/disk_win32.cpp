// Win32 backend: free disk space with GetDiskFreeSpaceExA where the system has it,
// else GetDiskFreeSpaceA.
#include <windows.h>

#include "platform/disk.h"
#include "platform/win32/backend_win32.h"

namespace {

using ExtendedQuery = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// Windows 95 before OSR2 lacks the extended query, so it is looked up at run time
// and never named in the import table.
ExtendedQuery FindExtendedQuery() {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<ExtendedQuery>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
}

}  // namespace

namespace {

/// The bytes available to the caller on a drive; false when it cannot be read.
bool AvailableBytes(int drive, bool extendedQuery, ULONGLONG& freeBytes) {
  if (drive < 0 || drive > 26) return false;
  char root[] = "?:\\";
  root[0] = static_cast<char>('@' + drive);
  // No directory at all means the root of the current drive.
  const char* const directory = drive == 0 ? nullptr : root;

  if (extendedQuery) {
    const ExtendedQuery query = FindExtendedQuery();
    if (query == nullptr) return false;
    ULARGE_INTEGER available, total, totalFree;
    if (!query(directory, &available, &total, &totalFree)) return false;
    freeBytes = available.QuadPart;
    return true;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(directory, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &clusters)) {
    return false;
  }
  freeBytes = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters;
  return true;
}

}  // namespace

int32_t FreeDiskBytesBy(int drive, bool extendedQuery) {
  ULONGLONG freeBytes = 0;
  if (!AvailableBytes(drive, extendedQuery, freeBytes)) return -1;
  // Callers compare the result with 32-bit file sizes.
  return freeBytes > 2147483647ULL ? 2147483647 : static_cast<int32_t>(freeBytes);
}

int32_t FreeDiskBytes(int drive) {
  return FreeDiskBytesBy(drive, FindExtendedQuery() != nullptr);
}

int64_t FreeDiskMebibytes(int drive) {
  ULONGLONG freeBytes = 0;
  if (!AvailableBytes(drive, FindExtendedQuery() != nullptr, freeBytes)) return -1;
  return static_cast<int64_t>(freeBytes >> 20);
}
