// Win32 backend: process snapshots from the system's process list, which lists every
// process with its times without opening any, and the machine's figures. The list and
// the processor times come from ntdll and the processor's name from the registry
// through advapi32, both looked up at run time: neither is in the import table.
#include <windows.h>

#include <cstring>

#include "platform/process_snapshot.h"

namespace {

using LONG_STATUS = LONG;
using QuerySystemInformation = LONG_STATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using OpenKey = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using QueryValue = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CloseKey = LONG(WINAPI*)(HKEY);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemProcessorPerformanceInformation = 8;
constexpr LONG_STATUS kInfoLengthMismatch = static_cast<LONG_STATUS>(0xC0000004L);

/// One processor's times in 100 ns units: idle, kernel (idle included), user, then
/// figures this program does not read. The same on 2000, XP and 64-bit Windows.
struct ProcessorTimes {
  LARGE_INTEGER idle, kernel, user, deferred, interrupt;
  ULONG interrupts;
};

QuerySystemInformation FindQuery() {
  static QuerySystemInformation query = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll != nullptr) {
      query = reinterpret_cast<QuerySystemInformation>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    }
  }
  return query;
}

/// The buffer of the process list, kept from one snapshot to the next and grown while
/// the system answers that it is too small.
unsigned char* listBuffer = nullptr;
ULONG listSize = 0;

bool FillProcessList(QuerySystemInformation query, ULONG& used) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (listBuffer == nullptr) {
      listSize = listSize == 0 ? 64 * 1024 : listSize;
      listBuffer = static_cast<unsigned char*>(
          VirtualAlloc(nullptr, listSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
      if (listBuffer == nullptr) return false;
    }
    used = 0;
    const LONG_STATUS status = query(kSystemProcessInformation, listBuffer, listSize, &used);
    if (status >= 0) return true;
    if (status != kInfoLengthMismatch) return false;
    // Processes may start between the answer and the next call: room to spare.
    VirtualFree(listBuffer, 0, MEM_RELEASE);
    listBuffer = nullptr;
    listSize = (used > listSize ? used : listSize) * 2;
  }
  return false;
}

bool ReadProcessorTimes(QuerySystemInformation query, uint64_t& busyMs, uint64_t& totalMs) {
  ProcessorTimes times[64];
  ULONG used = 0;
  if (query(kSystemProcessorPerformanceInformation, times, sizeof times, &used) < 0) return false;
  uint64_t idle = 0, all = 0;
  for (ULONG i = 0; i < used / sizeof times[0]; ++i) {
    idle += static_cast<uint64_t>(times[i].idle.QuadPart);
    all += static_cast<uint64_t>(times[i].kernel.QuadPart + times[i].user.QuadPart);
  }
  totalMs = all / 10000;
  busyMs = (all > idle ? all - idle : 0) / 10000;
  return true;
}

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

bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading) {
  snapshot.count = 0;
  snapshot.complete = true;
  snapshot.selfId = GetCurrentProcessId();
  snapshot.selfGroup = 0;
  const QuerySystemInformation query = FindQuery();
  ULONG used = 0;
  if (query == nullptr || !ReadProcessorTimes(query, snapshot.busyMs, snapshot.totalMs) ||
      !FillProcessList(query, used)) {
    return false;
  }
  ReadProcessRecords(listBuffer, used > 0 && used <= listSize ? used : listSize,
                     reinterpret_cast<uintptr_t>(listBuffer),
                     sizeof(void*) == 8 ? RecordLayout::Bits64 : RecordLayout::Bits32, snapshot);
  return snapshot.count > 0;
}

void FinishProcessSnapshots() {
  if (listBuffer != nullptr) VirtualFree(listBuffer, 0, MEM_RELEASE);
  listBuffer = nullptr;
}

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
