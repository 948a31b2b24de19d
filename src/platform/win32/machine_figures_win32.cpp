// Win32 backend: the machine's figures from the version, system and memory queries,
// and the processor's name from the registry through advapi32, looked up at run time:
// it is not in the import table.
#include <windows.h>

#include <cstring>

#include "platform/machine_figures.h"
#include "platform/win32/system_records_win32.h"

namespace {

using OpenKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using QueryValue = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CloseKey = LONG(WINAPI*)(HKEY);

/// The processor's name and clock, as the system's setup recorded them.
void ReadProcessorKey(MachineFigures& figures) {
  const HMODULE advapi = LoadLibraryA("advapi32.dll");
  if (advapi == nullptr) return;
  const auto open =
      reinterpret_cast<OpenKey>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegOpenKeyExA")));
  const auto query = reinterpret_cast<QueryValue>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "RegQueryValueExA")));
  const auto close =
      reinterpret_cast<CloseKey>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegCloseKey")));
  HKEY key = nullptr;
  if (open != nullptr && query != nullptr && close != nullptr &&
      open(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
           &key) == ERROR_SUCCESS) {
    char name[ShortText::kCapacity + 1] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    if (query(key, "ProcessorNameString", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
      // The registry's A functions answer in the ANSI set; the ledger is in the
      // console's, like everything the program writes.
      wchar_t wide[ShortText::kCapacity + 1];
      char oem[ShortText::kCapacity + 1] = {};
      if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, ShortText::kCapacity + 1) > 0) {
        WideCharToMultiByte(CP_OEMCP, 0, wide, -1, oem, sizeof oem, nullptr, nullptr);
      }
      oem[sizeof oem - 1] = '\0';
      // Intel's names come with leading blanks.
      const char* start = oem;
      while (*start == ' ') ++start;
      figures.cpuModel = start;
    }
    DWORD mhz = 0;
    size = sizeof mhz;
    if (query(key, "~MHz", nullptr, &type, reinterpret_cast<LPBYTE>(&mhz), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD) {
      figures.cpuMhz = static_cast<int>(mhz);
    }
    close(key);
  }
  FreeLibrary(advapi);
}

}  // namespace

MachineFigures ReadMachineFigures() {
  MachineFigures figures;
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) {
    NameWindowsVersion(version.dwMajorVersion, version.dwMinorVersion, figures);
    figures.osBuild = NumberToText(version.dwBuildNumber & 0xFFFF);
  }
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  figures.cpuCount = static_cast<int>(system.dwNumberOfProcessors);
  // The old query, which 2000 has; it stops counting at 4 GiB, where a 32-bit 2000 or
  // XP machine ends anyway.
  MEMORYSTATUS memory;
  std::memset(&memory, 0, sizeof memory);
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  figures.memoryMib = static_cast<int64_t>(memory.dwTotalPhys / (1024 * 1024));
  ReadProcessorKey(figures);
  return figures;
}
