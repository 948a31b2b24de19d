// POSIX backend only: process snapshots from /proc, machine figures from uname, sysconf
// and /proc/cpuinfo. Runs every 500 ms while a measured program works, so a snapshot
// allocates nothing and makes three calls per process: open, read, close.
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/process_snapshot.h"

namespace {

int TicksPerSecond() {
  static const int ticks = static_cast<int>(sysconf(_SC_CLK_TCK));
  return ticks;
}

/// Reads the start of a small file relative to `directory` into `buffer`; the length
/// read, or -1.
ssize_t ReadSmallFile(int directory, const char* path, char* buffer, size_t size) {
  const int fd = openat(directory, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t got;
  do {
    got = read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  close(fd);
  return got;
}

/// The first line of a buffer.
std::string_view FirstLine(const char* buffer, ssize_t length) {
  const std::string_view text(buffer, static_cast<size_t>(length));
  return text.substr(0, text.find('\n'));
}

/// The entries of /proc; glibc's readdir allocates its buffer, getdents64 does not.
struct LinuxDirent {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

/// An open stat file of a process. Reading an open file again costs one call; opening
/// it by name, reading and closing three, and the look-up of the name is most of it.
struct HeldStat {
  uint32_t id;
  int fd;
};

/// Kept well below the usual limit of 1024 open files.
constexpr int kMostHeld = 512;

/// The files held since the last snapshot, and those of the snapshot being taken.
HeldStat held[kMostHeld];
HeldStat nextHeld[kMostHeld];
int heldCount = 0;
int procDirectory = -1;
int machineStat = -1;

/// Reads from the start of an open file; the length read, or -1.
ssize_t ReadAgain(int fd, char* buffer, size_t size) {
  ssize_t got;
  do {
    got = pread(fd, buffer, size, 0);
  } while (got < 0 && errno == EINTR);
  return got;
}

/// The held file of a process, taken out of `held`; -1 when there is none. The listing
/// comes in the same order each time, so the search starts after the last one found.
int TakeHeld(uint32_t id, int& hint) {
  for (int step = 0; step < heldCount; ++step) {
    const int i = (hint + step) % heldCount;
    if (held[i].id == id && held[i].fd >= 0) {
      hint = i + 1;
      const int fd = held[i].fd;
      held[i].fd = -1;
      return fd;
    }
  }
  return -1;
}

/// The first line of the process's stat file, from its held file or opened anew; an
/// ended process gives -1. A file that stays open goes into nextHeld.
ssize_t ReadProcessStat(uint32_t id, const char* name, int& hint, int& nextCount, char* line,
                        size_t size) {
  int fd = TakeHeld(id, hint);
  ssize_t length = fd >= 0 ? ReadAgain(fd, line, size) : -1;
  if (length <= 0) {
    // Not held yet, or held for an earlier process of that id that has ended.
    if (fd >= 0) close(fd);
    char path[48];
    std::snprintf(path, sizeof path, "%s/stat", name);
    fd = openat(procDirectory, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    length = ReadAgain(fd, line, size);
  }
  if (length > 0 && nextCount < kMostHeld) {
    nextHeld[nextCount++] = {id, fd};
  } else {
    close(fd);
  }
  return length;
}

void ListProcesses(ProcessSnapshot& snapshot) {
  alignas(8) static char entries[16384];
  char line[1024];
  int hint = 0;
  int nextCount = 0;
  lseek(procDirectory, 0, SEEK_SET);
  for (bool more = true; more;) {
    const long got = syscall(SYS_getdents64, procDirectory, entries, sizeof entries);
    more = got > 0;
    for (long at = 0; at < got;) {
      const LinuxDirent* entry = reinterpret_cast<const LinuxDirent*>(entries + at);
      at += entry->length;
      if (entry->name[0] < '1' || entry->name[0] > '9') continue;
      const uint32_t id = static_cast<uint32_t>(std::strtoul(entry->name, nullptr, 10));
      // A process that ended since the listing has no file left: it is just not there.
      const ssize_t length = ReadProcessStat(id, entry->name, hint, nextCount, line, sizeof line);
      ProcessSample sample;
      if (length <= 0 || !ReadProcessStatLine(FirstLine(line, length), TicksPerSecond(), sample)) {
        continue;
      }
      if (snapshot.count >= ProcessSnapshot::kCapacity) {
        snapshot.complete = false;
        more = false;
        break;
      }
      snapshot.processes[snapshot.count++] = sample;
    }
  }
  // The files of processes that have ended are closed.
  for (int i = 0; i < heldCount; ++i) {
    if (held[i].fd >= 0) close(held[i].fd);
  }
  std::memcpy(held, nextHeld, sizeof(HeldStat) * static_cast<size_t>(nextCount));
  heldCount = nextCount;
}

/// The value of the first "key : value" line of /proc/cpuinfo with that key.
bool CpuInfoValue(const char* text, const char* key, std::string_view& value) {
  const size_t keyLength = std::strlen(key);
  for (const char* line = text; *line != '\0';) {
    const char* end = std::strchr(line, '\n');
    const std::string_view whole(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
    if (whole.substr(0, keyLength) == key) {
      const size_t colon = whole.find(':');
      if (colon != std::string_view::npos) {
        value = whole.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return true;
      }
    }
    if (end == nullptr) break;
    line = end + 1;
  }
  return false;
}

}  // namespace

bool TakeProcessSnapshot(ProcessSnapshot& snapshot) {
  snapshot.count = 0;
  snapshot.complete = true;
  snapshot.selfId = static_cast<uint32_t>(getpid());
  snapshot.selfGroup = static_cast<uint32_t>(getpgrp());
  if (procDirectory < 0) procDirectory = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procDirectory < 0) return false;
  if (machineStat < 0) machineStat = openat(procDirectory, "stat", O_RDONLY | O_CLOEXEC);
  char line[1024];
  const ssize_t length = machineStat >= 0 ? ReadAgain(machineStat, line, sizeof line) : -1;
  const bool totals = length > 0 && ReadMachineStatLine(FirstLine(line, length), TicksPerSecond(),
                                                        snapshot.busyMs, snapshot.totalMs);
  if (totals) ListProcesses(snapshot);
  return totals && snapshot.count > 0;
}

void FinishProcessSnapshots() {
  for (int i = 0; i < heldCount; ++i) close(held[i].fd);
  heldCount = 0;
  for (int* fd : {&machineStat, &procDirectory}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

MachineFigures ReadMachineFigures() {
  MachineFigures figures;
  utsname system;
  if (uname(&system) == 0) {
    figures.osName = system.sysname;
    figures.osBuild = system.release;
    // "6.1.0-18-amd64" is version 6.1.
    const std::string_view release(system.release);
    const size_t second = release.find('.', release.find('.') + 1);
    const size_t end = release.find_first_not_of("0123456789.");
    figures.osVersion = release.substr(0, std::min(second, end));
  }
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  figures.cpuCount = processors > 0 ? static_cast<int>(processors) : 0;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    figures.memoryMib = static_cast<int64_t>(pages) * pageSize / (1024 * 1024);
  }

  static char cpuInfo[8192];
  const ssize_t length = ReadSmallFile(AT_FDCWD, "/proc/cpuinfo", cpuInfo, sizeof cpuInfo - 1);
  cpuInfo[length > 0 ? length : 0] = '\0';
  std::string_view value;
  if (CpuInfoValue(cpuInfo, "model name", value)) figures.cpuModel = value;
  // The nominal clock where the system knows it: the current one changes with the load.
  char maximum[32];
  const ssize_t got =
      ReadSmallFile(AT_FDCWD, "/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", maximum,
                    sizeof maximum - 1);
  if (got > 0) {
    maximum[got] = '\0';
    figures.cpuMhz = static_cast<int>(std::strtol(maximum, nullptr, 10) / 1000);
  } else if (CpuInfoValue(cpuInfo, "cpu MHz", value)) {
    figures.cpuMhz = static_cast<int>(std::strtod(std::string(value).c_str(), nullptr) + 0.5);
  }
  return figures;
}
