// POSIX backend only: process snapshots from /proc. Runs every 500 ms while a measured
// program works, so a snapshot allocates nothing and keeps each process's stat file
// open for the next one.
#include <dirent.h>
#include <fcntl.h>
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

/// The entries of /proc; glibc's readdir allocates its buffer, getdents64 does not.
struct LinuxDirent {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

/// A process whose stat file stays open between snapshots, with what its last reading
/// gave. Reading an open file again costs one call; opening it by name, reading and
/// closing three, and the look-up of the name is most of it. Most processes sleep, so
/// between full readings only the busy ones are read again.
struct HeldStat {
  uint32_t id;
  int fd;
  bool active;  ///< new, or its processor time grew between its last two readings
  ProcessSample sample;
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

/// The held file of a process, its file taken out of `held`; null when there is none.
/// The listing comes in the same order each time, so the search starts after the last
/// one found.
HeldStat* TakeHeld(uint32_t id, int& hint) {
  for (int step = 0; step < heldCount; ++step) {
    const int i = (hint + step) % heldCount;
    if (held[i].id == id && held[i].fd >= 0) {
      hint = i + 1;
      return &held[i];
    }
  }
  return nullptr;
}

/// Reads the process's stat file into `sample`, from the file held since the last
/// snapshot or opened anew; the open file, or -1 for a process that has ended.
int ReadProcessStat(const char* name, int fd, ProcessSample& sample) {
  char line[1024];
  ssize_t length = fd >= 0 ? ReadAgain(fd, line, sizeof line) : -1;
  if (length <= 0) {
    // Not held yet, or held for an earlier process of that id that has ended.
    if (fd >= 0) close(fd);
    char path[48];
    std::snprintf(path, sizeof path, "%s/stat", name);
    fd = openat(procDirectory, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    length = ReadAgain(fd, line, sizeof line);
  }
  if (length <= 0 || !ReadProcessStatLine(FirstLine(line, length), TicksPerSecond(), sample)) {
    close(fd);
    return -1;
  }
  return fd;
}

/// The process of one entry of /proc into `sample`: read, or as last read when only the
/// active ones are read and it is not. False for a process that has ended since the
/// listing: it is just not there. Its file stays open in nextHeld while there is room.
bool SampleProcess(uint32_t id, const char* name, SnapshotReading reading, int& hint,
                   int& nextCount, ProcessSample& sample) {
  HeldStat* last = TakeHeld(id, hint);
  int fd = -1;
  if (last != nullptr) std::swap(fd, last->fd);
  const bool quiet = last != nullptr && !last->active;
  if (quiet && reading == SnapshotReading::Active) {
    sample = last->sample;
  } else {
    fd = ReadProcessStat(name, fd, sample);
    if (fd < 0) return false;
  }
  const bool active = last == nullptr || last->sample.startTime != sample.startTime ||
                      last->sample.cpuMs != sample.cpuMs;
  if (nextCount < kMostHeld) {
    nextHeld[nextCount++] = {id, fd, active, sample};
  } else {
    close(fd);
  }
  return true;
}

void ListProcesses(ProcessSnapshot& snapshot, SnapshotReading reading) {
  alignas(8) static char entries[16384];
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
      ProcessSample sample;
      if (!SampleProcess(id, entry->name, reading, hint, nextCount, sample)) continue;
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

}  // namespace

bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading reading) {
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
  if (totals) ListProcesses(snapshot, reading);
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
