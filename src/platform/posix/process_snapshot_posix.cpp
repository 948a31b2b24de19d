// POSIX backend only: process snapshots from /proc. Runs every 500 ms while a measured
// program works, so a snapshot allocates nothing, keeps stat files open for the next
// one (within a budget of descriptors the measured program never misses) and reads
// again only what may have changed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/backend_posix.h"
#include "platform/posix/processor_clock_posix.h"
#include "platform/posix/system_records_posix.h"
#include "platform/process_snapshot.h"

namespace {

int TicksPerSecond() {
  static const int ticks = static_cast<int>(sysconf(_SC_CLK_TCK));
  return ticks;
}

/// The first line of a buffer.
std::string_view FirstLine(const char* buffer, ssize_t length) {
  const std::string_view text(buffer, static_cast<size_t>(length));
  return text.substr(0, text.find('\n'));
}

/// A process's stat record: the whole buffer less its final line end, since the name
/// in it may hold line ends of its own.
std::string_view StatRecord(const char* buffer, ssize_t length) {
  const std::string_view text(buffer, static_cast<size_t>(length));
  return text.empty() || text.back() != '\n' ? text : text.substr(0, text.size() - 1);
}

/// The entries of /proc; glibc's readdir allocates its buffer, getdents64 does not.
struct LinuxDirent {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

/// A process as its last reading gave it, with its stat file when that stays open.
/// Reading an open file again costs one call; opening it by name, reading and closing
/// three, and the look-up of the name is most of it. Most processes sleep, so between
/// full readings only the busy ones are read again.
/// Every field starts at zero, so that the tables below are not written before use.
struct KnownProcess {
  int fd = 0;           ///< -1 when not held
  bool active = false;  ///< new, or its processor time grew between its last two readings
  ProcessSample sample;
};

/// The held stat files stay below a quarter of the open-file limit, and below half of
/// what was free of it when the snapshots began: the measured program and the pipes
/// that start it come first. Beyond that a stat file is opened, read and closed.
constexpr int kLimitShare = 4;

/// The variable that points the snapshots of a test run at a made-up system.
constexpr char kSystemRootVariable[] = "TARSEL_SYSTEM_ROOT";
/// The folder that holds "proc" and "sys"; empty for the real ones.
char systemRoot[4096] = {};
bool rootChosen = false;

/// The processes of the last snapshot and those of the snapshot being taken.
KnownProcess known[ProcessSnapshot::kCapacity];
KnownProcess nextKnown[ProcessSnapshot::kCapacity];
int knownCount = 0;
int heldCount = 0;
int heldBudget = -1;  ///< -1 until the first snapshot since FinishProcessSnapshots
int procDirectory = -1;
int cpuDirectory = -1;  ///< sys/devices/system/cpu
int machineStat = -1;
int loadAverage = -1;
uint64_t lastListedPid = 0;  ///< the newest process id at the last listing of /proc

/// Reads from the start of an open file; the length read, or -1.
ssize_t ReadAgain(int fd, char* buffer, size_t size) {
  ssize_t got;
  do {
    got = pread(fd, buffer, size, 0);
  } while (got < 0 && errno == EINTR);
  return got;
}

/// The descriptors that are open now: the entries of /proc/self/fd, less the one that
/// lists them.
int OpenDescriptors() {
  const int listing = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return -1;
  alignas(8) char entries[4096];
  int count = -1;
  for (long got; (got = syscall(SYS_getdents64, listing, entries, sizeof entries)) > 0;) {
    for (long at = 0; at < got;) {
      const LinuxDirent* entry = reinterpret_cast<const LinuxDirent*>(entries + at);
      at += entry->length;
      if (entry->name[0] != '.') ++count;
    }
  }
  close(listing);
  return count;
}

/// How many stat files the snapshots may hold open; 0 when the limit or what is open
/// cannot be told.
int DescriptorBudget() {
  rlimit limit;
  const int inUse = OpenDescriptors();
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || inUse < 0) return 0;
  const rlim_t most = ProcessSnapshot::kCapacity;
  const rlim_t soft = limit.rlim_cur == RLIM_INFINITY ? most * kLimitShare : limit.rlim_cur;
  const rlim_t free = soft > static_cast<rlim_t>(inUse) ? soft - static_cast<rlim_t>(inUse) : 0;
  return static_cast<int>(std::min({most, soft / kLimitShare, free / 2}));
}

/// The newest process id the system has handed out (the last field of /proc/loadavg);
/// 0 when it cannot be read.
uint64_t NewestPid() {
  char text[128];
  const ssize_t length = loadAverage >= 0 ? ReadAgain(loadAverage, text, sizeof text - 1) : -1;
  if (length <= 0) return 0;
  const std::string_view line = FirstLine(text, length);
  const size_t blank = line.rfind(' ');
  return blank == std::string_view::npos
             ? 0
             : std::strtoull(std::string(line.substr(blank + 1)).c_str(), nullptr, 10);
}

/// The known process of an id, or null. The listing comes in the same order each time,
/// so the search starts after the last one found.
KnownProcess* FindKnown(uint32_t id, int& hint) {
  for (int step = 0; step < knownCount; ++step) {
    const int i = (hint + step) % knownCount;
    if (known[i].sample.id == id && known[i].fd != -2) {
      hint = i + 1;
      return &known[i];
    }
  }
  return nullptr;
}

enum class StatRead { Read, Ended, Refused };

/// Reads the process's stat file into `sample`, through `fd` when it is held (then it
/// stays open, or becomes -1 once the process has ended) or else opened anew, and held
/// when the budget allows.
StatRead ReadProcessStat(uint32_t id, int& fd, ProcessSample& sample) {
  char line[1024];
  ssize_t length = fd >= 0 ? ReadAgain(fd, line, sizeof line) : -1;
  if (length <= 0) {
    // Not held, or held for an earlier process of that id that has ended.
    if (fd >= 0) {
      close(fd);
      --heldCount;
      fd = -1;
    }
    char path[32];
    std::snprintf(path, sizeof path, "%u/stat", static_cast<unsigned>(id));
    const int opened = openat(procDirectory, path, O_RDONLY | O_CLOEXEC);
    if (opened < 0) return errno == ENOENT || errno == ESRCH ? StatRead::Ended : StatRead::Refused;
    length = ReadAgain(opened, line, sizeof line);
    if (heldCount < heldBudget) {
      fd = opened;
      ++heldCount;
    } else {
      close(opened);
    }
  }
  if (length <= 0 || !ReadProcessStatLine(StatRecord(line, length), TicksPerSecond(), sample)) {
    if (fd >= 0) {
      close(fd);
      --heldCount;
      fd = -1;
    }
    return StatRead::Ended;
  }
  return StatRead::Read;
}

/// One process into the snapshot being taken: read, or as last read when only the
/// active ones are read and it is not. Its state goes to nextKnown.
void SampleProcess(uint32_t id, KnownProcess* last, SnapshotReading reading, int& nextCount,
                   ProcessSnapshot& snapshot) {
  int fd = -1;
  if (last != nullptr) {
    std::swap(fd, last->fd);
    last->fd = -2;  // taken: a later entry of the same id is another process
  }
  ProcessSample sample;
  if (last != nullptr && !last->active && reading == SnapshotReading::Active) {
    sample = last->sample;
  } else {
    const StatRead read = ReadProcessStat(id, fd, sample);
    if (read == StatRead::Ended) return;
    if (read == StatRead::Refused) {
      // The system would not open it (no descriptor to spare, say): left out.
      ++snapshot.seen;
      return;
    }
  }
  const bool active = last == nullptr || last->sample.startTime != sample.startTime ||
                      last->sample.cpuMs != sample.cpuMs;
  if (nextCount < ProcessSnapshot::kCapacity) {
    nextKnown[nextCount++] = {fd, active, sample};
  } else if (fd >= 0) {
    close(fd);
    --heldCount;
  }
  AddProcessSample(snapshot, sample);
}

/// The files of the processes the last snapshot knew and this one did not take.
void ReplaceKnown(int nextCount) {
  for (int i = 0; i < knownCount; ++i) {
    if (known[i].fd >= 0) {
      close(known[i].fd);
      --heldCount;
    }
  }
  std::memcpy(known, nextKnown, sizeof(KnownProcess) * static_cast<size_t>(nextCount));
  knownCount = nextCount;
}

/// Every process of /proc: read, or carried as last read.
void ListProcesses(ProcessSnapshot& snapshot, SnapshotReading reading) {
  alignas(8) static char entries[16384];
  int hint = 0;
  int nextCount = 0;
  lastListedPid = NewestPid();
  lseek(procDirectory, 0, SEEK_SET);
  for (long got; (got = syscall(SYS_getdents64, procDirectory, entries, sizeof entries)) > 0;) {
    for (long at = 0; at < got;) {
      const LinuxDirent* entry = reinterpret_cast<const LinuxDirent*>(entries + at);
      at += entry->length;
      if (entry->name[0] < '1' || entry->name[0] > '9') continue;
      const uint32_t id = static_cast<uint32_t>(std::strtoul(entry->name, nullptr, 10));
      SampleProcess(id, FindKnown(id, hint), reading, nextCount, snapshot);
    }
  }
  ReplaceKnown(nextCount);
}

/// Opens a folder below the system root (`part` short); -1 when it is missing.
int OpenBelowRoot(const char* part) {
  if (!rootChosen) {
    const char* variable = std::getenv(kSystemRootVariable);
    std::snprintf(systemRoot, sizeof systemRoot, "%s", variable != nullptr ? variable : "");
    rootChosen = true;
  }
  char path[sizeof systemRoot + 64];
  std::snprintf(path, sizeof path, "%s/%s", systemRoot, part);
  return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

/// The machine's totals and each processor's times from /proc/stat, whose "cpu" lines
/// come first; `numbers` gets each processor's number. False without the totals.
bool ReadMachineStat(ProcessSnapshot& snapshot, int* numbers) {
  static char text[16384];
  const ssize_t length = machineStat >= 0 ? ReadAgain(machineStat, text, sizeof text) : -1;
  if (length <= 0) return false;
  std::string_view rest(text, static_cast<size_t>(length));
  snapshot.processorCount = 0;
  bool totals = false;
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    if (line.substr(0, 3) != "cpu") break;
    ProcessorSample& processor = snapshot.processors[snapshot.processorCount];
    int number = 0;
    if (ReadMachineStatLine(line, TicksPerSecond(), snapshot.busyMs, snapshot.totalMs)) {
      totals = true;
    } else if (snapshot.processorCount < ProcessSnapshot::kProcessorCapacity &&
               ReadProcessorStatLine(line, TicksPerSecond(), number, processor.busyMs,
                                     processor.totalMs)) {
      processor.currentMhz = processor.nominalMhz = 0;
      numbers[snapshot.processorCount++] = number;
    }
  }
  return totals;
}

/// The largest resident set of each of the program's descendants (a few processes,
/// so each status file is opened, read and closed). They are found by their parents
/// whatever order the listing gave.
void ReadPeakMemory(ProcessSnapshot& snapshot) {
  uint32_t family[ProcessSnapshot::kFamilyCapacity] = {snapshot.selfId};
  int familyCount = 1;
  char text[4096];
  for (bool found = true; found;) {
    found = false;
    for (int i = 0; i < snapshot.count && familyCount < ProcessSnapshot::kFamilyCapacity; ++i) {
      ProcessSample& process = snapshot.processes[i];
      if (std::find(family, family + familyCount, process.id) != family + familyCount ||
          std::find(family, family + familyCount, process.parentId) == family + familyCount) {
        continue;
      }
      family[familyCount++] = process.id;
      found = true;
      char path[32];
      std::snprintf(path, sizeof path, "%u/status", static_cast<unsigned>(process.id));
      const int fd = openat(procDirectory, path, O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      const ssize_t got = ReadAgain(fd, text, sizeof text);
      close(fd);
      if (got > 0) {
        process.peakMemoryKib =
            ReadPeakResidentKib(std::string_view(text, static_cast<size_t>(got)));
      }
    }
  }
}

/// The processes of the last snapshot, the active ones read again: no process has
/// started since, so there is nothing new to list.
void RereadKnown(ProcessSnapshot& snapshot) {
  int nextCount = 0;
  for (int i = 0; i < knownCount; ++i) {
    SampleProcess(known[i].sample.id, &known[i], SnapshotReading::Active, nextCount, snapshot);
  }
  ReplaceKnown(nextCount);
}

}  // namespace

void SetSystemRoot(const char* root) {
  FinishProcessSnapshots();
  std::snprintf(systemRoot, sizeof systemRoot, "%s", root);
  rootChosen = true;
}

bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading reading) {
  snapshot.count = 0;
  snapshot.seen = 0;
  snapshot.selfId = static_cast<uint32_t>(getpid());
  snapshot.selfGroup = static_cast<uint32_t>(getpgrp());
  if (heldBudget < 0) heldBudget = DescriptorBudget();
  snapshot.processorCount = 0;
  snapshot.throttleEvents = -1;
  if (procDirectory < 0) {
    procDirectory = OpenBelowRoot("proc");
    cpuDirectory = OpenBelowRoot("sys/devices/system/cpu");
  }
  if (procDirectory < 0) return false;
  if (machineStat < 0) machineStat = openat(procDirectory, "stat", O_RDONLY | O_CLOEXEC);
  if (loadAverage < 0) loadAverage = openat(procDirectory, "loadavg", O_RDONLY | O_CLOEXEC);
  int numbers[ProcessSnapshot::kProcessorCapacity];
  if (!ReadMachineStat(snapshot, numbers)) return false;
  ReadProcessorClocks(cpuDirectory, numbers, reading == SnapshotReading::Every, snapshot);
  // Listing /proc costs time with every process there; without a new process since
  // the last listing the processes known are all there is.
  const uint64_t newest = reading == SnapshotReading::Active ? NewestPid() : 0;
  if (newest != 0 && newest == lastListedPid && knownCount > 0) {
    RereadKnown(snapshot);
  } else {
    ListProcesses(snapshot, reading);
  }
  // The wait for the measured command reports the peaks of what it waited for; the
  // status files, which cost the kernel more to compose, are read with every process.
  if (reading == SnapshotReading::Every) ReadPeakMemory(snapshot);
  return snapshot.count > 0;
}

void FinishProcessSnapshots() {
  for (int i = 0; i < knownCount; ++i) {
    if (known[i].fd >= 0) close(known[i].fd);
  }
  knownCount = 0;
  heldCount = 0;
  heldBudget = -1;
  lastListedPid = 0;
  ForgetProcessorClocks();
  for (int* fd : {&machineStat, &loadAverage, &procDirectory, &cpuDirectory}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}
