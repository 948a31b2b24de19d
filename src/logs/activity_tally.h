// What other programs did during a measurement, from the snapshots taken before it,
// every 500 ms while it ran and after it: the processor time of each process in that
// span, the machine's busy share, the busiest processes that are not the measurement's
// own, and the time that no process seen by a snapshot accounts for. No system calls.
#pragma once

#include <cstdint>

#include "platform/process_snapshot.h"

/// One process seen by a snapshot of the measurement. A process is its id together
/// with its start time: an id reused by a later process is another process.
struct TrackedProcess {
  uint32_t id = 0;
  uint64_t startTime = 0;
  uint64_t firstCpuMs = 0;  ///< at the first snapshot, 0 for a process started since
  uint64_t lastCpuMs = 0;   ///< at the last snapshot that saw it
  bool own = false;         ///< a process of the measurement itself, in any snapshot
  char name[ProcessSample::kNameCapacity + 1] = {};
};

/// The running account of one measurement.
struct ActivityTally {
  static constexpr int kCapacity = 1024;

  int snapshots = 0;
  bool firstComplete = true;  ///< the first snapshot listed every process
  uint64_t firstBusyMs = 0, lastBusyMs = 0, firstTotalMs = 0, lastTotalMs = 0;
  int count = 0;
  TrackedProcess processes[kCapacity];
};

/// Marks in `own` (one flag per process of the snapshot) the measurement's own
/// processes: the program itself, those of its process group (where the system has
/// groups) and those whose chain of parents leads to it. A parent that started after
/// its child is no parent: its id was reused.
void MarkOwnProcesses(const ProcessSnapshot& snapshot, bool own[]);

/// Adds one snapshot to the account; the first one starts it.
void AddSnapshot(ActivityTally& tally, const ProcessSnapshot& snapshot);

/// One of the busiest other processes.
struct OtherProcess {
  char name[ProcessSample::kNameCapacity + 1] = {};
  uint32_t id = 0;
  uint64_t cpuMs = 0;
};

/// What the account says.
struct ActivitySummary {
  static constexpr int kTopCount = 5;

  bool measured = false;  ///< at least two snapshots
  int busyPermille = 0;   ///< the whole machine's busy share, in tenths of a percent
  int topCount = 0;
  OtherProcess top[kTopCount];  ///< by processor time, most first; ties by id
  uint64_t unnamedCpuMs = 0;    ///< busy time that no process seen accounts for
};

/// The busiest other processes (only those that used processor time), the busy share
/// and the unnamed time since the first snapshot.
ActivitySummary SummarizeActivity(const ActivityTally& tally);
