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

void ListProcesses(int proc, ProcessSnapshot& snapshot) {
  alignas(8) static char entries[16384];
  char path[48];
  char line[1024];
  for (;;) {
    const long got = syscall(SYS_getdents64, proc, entries, sizeof entries);
    if (got <= 0) return;
    for (long at = 0; at < got;) {
      const LinuxDirent* entry = reinterpret_cast<const LinuxDirent*>(entries + at);
      at += entry->length;
      if (entry->name[0] < '1' || entry->name[0] > '9') continue;
      std::snprintf(path, sizeof path, "%s/stat", entry->name);
      // A process that ended since the listing has no file left: it is just not there.
      const ssize_t length = ReadSmallFile(proc, path, line, sizeof line);
      if (length <= 0) continue;
      ProcessSample sample;
      if (!ReadProcessStatLine(FirstLine(line, length), TicksPerSecond(), sample)) continue;
      if (snapshot.count >= ProcessSnapshot::kCapacity) {
        snapshot.complete = false;
        return;
      }
      snapshot.processes[snapshot.count++] = sample;
    }
  }
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
  const int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (proc < 0) return false;
  char line[1024];
  const ssize_t length = ReadSmallFile(proc, "stat", line, sizeof line - 1);
  const bool totals = length > 0 && ReadMachineStatLine(FirstLine(line, length), TicksPerSecond(),
                                                        snapshot.busyMs, snapshot.totalMs);
  if (totals) ListProcesses(proc, snapshot);
  close(proc);
  return totals && snapshot.count > 0;
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
