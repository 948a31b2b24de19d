// What every process of the machine has used of the processor so far, listed without
// opening any of them, and the figures of the machine itself. The portable half reads
// the system's own records (the lines of /proc, the records of the Windows process
// list); the backends fetch them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/short_text.h"

/// One process at the moment of a snapshot.
struct ProcessSample {
  static constexpr int kNameCapacity = 31;

  uint32_t id = 0;
  uint32_t parentId = 0;
  uint32_t groupId = 0;    ///< the POSIX process group; 0 where the system has none
  uint64_t startTime = 0;  ///< when it started, in the system's own unit; with the id the
                           ///< key of a process, since ids are reused
  uint64_t cpuMs = 0;      ///< processor time used so far, user and kernel together
  char name[kNameCapacity + 1] = {};  ///< image name only, cut at 31 characters
};

/// The processes of one moment and the machine's processor time up to it.
struct ProcessSnapshot {
  static constexpr int kCapacity = 1024;

  uint64_t busyMs = 0;   ///< processor time not spent idle, all processors together
  uint64_t totalMs = 0;  ///< all processor time, idle included
  uint32_t selfId = 0;   ///< the program's own process
  uint32_t selfGroup = 0;
  bool complete = true;  ///< false when processes beyond kCapacity were left out
  int count = 0;
  ProcessSample processes[kCapacity];
};

/// How much of each process a snapshot reads anew.
enum class SnapshotReading {
  Every,  ///< the figures of every process
  /// Where reading a process costs a call of its own (/proc): only the processes that
  /// are new, or that used the processor between their last two readings; the others
  /// keep the figures of their last reading. Where one call lists them all, as Every.
  Active,
};

/// Lists every process with its processor time, and the machine's totals. False when
/// the system gives no list; the snapshot is then empty. Snapshots taken one after the
/// other reuse what the earlier ones opened and read (never inherited by a started
/// program); FinishProcessSnapshots lets it go.
bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading reading);

/// Releases what the snapshots since the last call keep open or allocated.
void FinishProcessSnapshots();

/// What the system says about the machine.
struct MachineFigures {
  ShortText osName;     ///< "Windows 2000", "Windows XP", "Windows 6.1", or "Linux"
  ShortText osVersion;  ///< "major.minor"
  ShortText osBuild;    ///< the build number, or the POSIX kernel release
  ShortText cpuModel;   ///< as the system names the processor; empty when unknown
  int cpuCount = 0;
  int cpuMhz = 0;  ///< 0 when unknown
  int64_t memoryMib = 0;
};

MachineFigures ReadMachineFigures();

// The readers of the system's records, with no operating-system calls, for the
// backends and their tests.

/// Appends the process of one /proc/[pid]/stat line: "pid (name) state ppid pgrp ...
/// utime stime ... starttime ...". The name runs to the line's last ")", so it may hold
/// blanks and parentheses. Processor times in clock ticks, `ticksPerSecond` of them to
/// the second. False for a line without that shape.
bool ReadProcessStatLine(std::string_view line, int ticksPerSecond, ProcessSample& sample);

/// The machine's totals from the "cpu " line of /proc/stat: busy is user, nice, system,
/// irq, softirq and steal; idle and iowait are not. False for another line.
bool ReadMachineStatLine(std::string_view line, int ticksPerSecond, uint64_t& busyMs,
                         uint64_t& totalMs);

/// Which layout the records of the Windows process list have.
enum class RecordLayout { Bits32, Bits64 };

/// Appends the processes of a buffer filled by the Windows process-list query, whose
/// first byte lies at `bufferAddress` (the image names point into it). Reads only the
/// fields that Windows 2000 and XP place alike: the next-entry offset, creation, user
/// and kernel time, image name, process id and parent id. Skips the idle process (id
/// 0). Letters outside ASCII in a name become "?". Stops at a record that would reach
/// beyond the buffer. Times in 100 ns units.
void ReadProcessRecords(const unsigned char* buffer, size_t size, uintptr_t bufferAddress,
                        RecordLayout layout, ProcessSnapshot& snapshot);

/// The "major.minor" text and the name Windows gives a version: 5.0 "Windows 2000",
/// 5.1 "Windows XP", any other "Windows " and the version.
void NameWindowsVersion(unsigned major, unsigned minor, MachineFigures& figures);
