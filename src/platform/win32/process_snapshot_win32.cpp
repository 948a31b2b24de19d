// Win32 backend: process snapshots from the system's process list, which lists every
// process with its times without opening any. The list and the processor times come
// from ntdll, the processors' clocks from powrprof (XP onwards), both looked up at run
// time: neither is in the import table.
#include <windows.h>

#include "platform/process_snapshot.h"
#include "platform/win32/system_records_win32.h"

namespace {

using LONG_STATUS = LONG;
using QuerySystemInformation = LONG_STATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemProcessorPerformanceInformation = 8;
constexpr LONG_STATUS kInfoLengthMismatch = static_cast<LONG_STATUS>(0xC0000004L);
using PowerInformation = LONG_STATUS(WINAPI*)(int, PVOID, ULONG, PVOID, ULONG);
constexpr int kProcessorInformation = 11;
/// The six 32-bit fields of one processor's record of the power query.
constexpr ULONG kPowerRecordSize = 24;

/// One processor's times in 100 ns units: idle, kernel (idle included), user, then
/// figures this program does not read. The same on 2000, XP and 64-bit Windows.
struct ProcessorTimes {
  LARGE_INTEGER idle, kernel, user, deferred, interrupt;
  ULONG interrupts;
};

/// A function of a system library; null where the library or the function is missing.
void* SystemFunction(HMODULE library, const char* name) {
  return library == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(library, name));
}

// Looked up once, without a guarded static (the program stays single-threaded).
QuerySystemInformation FindQuery() {
  static QuerySystemInformation query = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    query = reinterpret_cast<QuerySystemInformation>(
        SystemFunction(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation"));
  }
  return query;
}

/// The power query of powrprof.dll, loaded once; null where the system lacks it
/// (Windows 2000 may).
PowerInformation FindPowerQuery() {
  static PowerInformation query = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    query = reinterpret_cast<PowerInformation>(
        SystemFunction(LoadLibraryA("powrprof.dll"), "CallNtPowerInformation"));
  }
  return query;
}

/// Each processor's current and nominal clock; none where the query is missing or
/// fails.
void ReadProcessorClocks(ProcessSnapshot& snapshot) {
  const PowerInformation query = FindPowerQuery();
  if (query == nullptr || snapshot.processorCount == 0) return;
  unsigned char records[ProcessSnapshot::kProcessorCapacity * kPowerRecordSize];
  // The query wants room for exactly the processors the system has.
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const ULONG processors = system.dwNumberOfProcessors;
  if (processors == 0 || processors > ProcessSnapshot::kProcessorCapacity) return;
  const ULONG size = processors * kPowerRecordSize;
  if (query(kProcessorInformation, nullptr, 0, records, size) != 0) return;
  ReadPowerRecords(records, size, snapshot);
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

/// The machine's processor times, and each processor's.
bool ReadProcessorTimes(QuerySystemInformation query, ProcessSnapshot& snapshot) {
  ProcessorTimes times[ProcessSnapshot::kProcessorCapacity];
  ULONG used = 0;
  if (query(kSystemProcessorPerformanceInformation, times, sizeof times, &used) < 0) return false;
  uint64_t idle = 0, all = 0;
  snapshot.processorCount = static_cast<int>(used / sizeof times[0]);
  for (int i = 0; i < snapshot.processorCount; ++i) {
    const uint64_t own = static_cast<uint64_t>(times[i].kernel.QuadPart + times[i].user.QuadPart);
    const uint64_t ownIdle = static_cast<uint64_t>(times[i].idle.QuadPart);
    ProcessorSample& processor = snapshot.processors[i];
    processor = ProcessorSample();
    processor.totalMs = own / 10000;
    processor.busyMs = (own > ownIdle ? own - ownIdle : 0) / 10000;
    idle += ownIdle;
    all += own;
  }
  snapshot.totalMs = all / 10000;
  snapshot.busyMs = (all > idle ? all - idle : 0) / 10000;
  return true;
}

}  // namespace

bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading) {
  snapshot.count = 0;
  snapshot.seen = 0;
  snapshot.selfId = GetCurrentProcessId();
  snapshot.selfGroup = 0;
  snapshot.processorCount = 0;
  snapshot.throttleEvents = -1;  // Windows counts no throttling events
  const QuerySystemInformation query = FindQuery();
  ULONG used = 0;
  if (query == nullptr || !ReadProcessorTimes(query, snapshot) || !FillProcessList(query, used)) {
    return false;
  }
  ReadProcessorClocks(snapshot);
  ReadProcessRecords(listBuffer, used > 0 && used <= listSize ? used : listSize,
                     reinterpret_cast<uintptr_t>(listBuffer),
                     sizeof(void*) == 8 ? RecordLayout::Bits64 : RecordLayout::Bits32, snapshot);
  return snapshot.count > 0;
}

void FinishProcessSnapshots() {
  if (listBuffer != nullptr) VirtualFree(listBuffer, 0, MEM_RELEASE);
  listBuffer = nullptr;
}
