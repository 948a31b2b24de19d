// What other programs did during a measurement, from the snapshots taken before it,
// every 500 ms while it ran and after it: the processor time of each process in that
// span, the machine's busy share, the busiest processes that are not the measurement's
// own, and the time that no process seen by a snapshot accounts for. No system calls.
#pragma once

#include <cstdint>

#include "logs/ledger_format.h"
#include "platform/process_snapshot.h"

/// One process seen by a snapshot of the measurement. A process is its id together
/// with its start time: an id reused by a later process is another process.
struct TrackedProcess {
  uint32_t id = 0;
  uint64_t startTime = 0;
  uint64_t firstCpuMs = 0;  ///< at the first snapshot, 0 for a process started since
  uint64_t lastCpuMs = 0;   ///< at the last snapshot that saw it
  bool own = false;         ///< a process of the measurement itself, in any snapshot
  int seenAt = 0;           ///< the last snapshot that saw it, counted from 1
  char name[ProcessSample::kNameCapacity + 1] = {};
};

/// The running account of one measurement. It follows every process up to kCapacity;
/// beyond that a process that has used no processor time during the measurement makes
/// room for a new one, so the busy ones stay followed.
struct ActivityTally {
  static constexpr int kCapacity = 8192;

  int snapshots = 0;
  int failedSnapshots = 0;  ///< listings the system did not give
  bool incomplete = false;  ///< a listing left processes out, or the account did
  /// The newest start among the processes of the first snapshot: one that started later
  /// did all its work during the measurement.
  uint64_t latestFirstStart = 0;
  uint64_t firstBusyMs = 0, lastBusyMs = 0, firstTotalMs = 0, lastTotalMs = 0;
  /// The listing that left the most processes out (or else the largest): how many
  /// processes it found and how many of them the account follows.
  int widestSeen = 0, widestFollowed = 0;
  int evictAt = 0;  ///< where the search for a process to make room starts
  /// The processors at the last snapshot, to tell which were busy in the span since.
  int lastProcessorCount = 0;
  ProcessorSample lastProcessors[ProcessSnapshot::kProcessorCapacity];
  /// Spans between two snapshots in which the system told a processor's clock, and
  /// those of them in which a busy processor ran below kReducedClockPercent of nominal.
  int clockSpans = 0, reducedSpans = 0;
  /// The current clocks of the processors busy in a span, at its end.
  int busyClocks = 0;
  uint64_t busyClockSumMhz = 0;
  uint32_t lowestMhz = 0, highestMhz = 0, nominalMhz = 0;
  /// The throttling events counted at the first and the latest snapshot that read them.
  int64_t firstThrottleEvents = -1, lastThrottleEvents = -1;
  /// The largest working set of the measurement's own processes, the program aside.
  uint64_t peakMemoryKib = 0;
  int count = 0;
  TrackedProcess processes[kCapacity];
};

/// A processor busy for at least this share of a span between two snapshots, in
/// percent, counts for the clock; an idle one sits at its lowest clock by design.
inline constexpr int kBusyProcessorPercent = 50;

/// Marks in `own` (one flag per process of the snapshot) the measurement's own
/// processes: the program itself and its descendants, and the members of its process
/// group (where the system has groups) that started after it: a process whose parent
/// has left is adopted by another, but keeps its group. A member of the group that
/// started earlier (a job the same script started before the program) is another
/// program, and so is a child of it. A parent that started after its child is no
/// parent: its id was reused; process 1 adopts orphans and is no parent either.
void MarkOwnProcesses(const ProcessSnapshot& snapshot, bool own[]);

/// Empties the account for a new measurement, without touching its whole table.
void ClearTally(ActivityTally& tally);

/// Adds one snapshot to the account; the first one starts it.
void AddSnapshot(ActivityTally& tally, const ProcessSnapshot& snapshot);

/// A listing the system did not give: the account is incomplete.
void AddFailedSnapshot(ActivityTally& tally);

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
  int processesSeen = 0;        ///< as ActivityTally::widestSeen
  int processesFollowed = 0;    ///< as ActivityTally::widestFollowed
  bool incomplete = false;      ///< some process or listing was missed
  /// Whether the system told the processors' clocks; then the highest nominal clock, the
  /// lowest, mean and highest current clock of busy processors (0 when none was busy)
  /// and the share of spans, in whole percent, in which a busy processor ran reduced.
  bool clockKnown = false;
  int nominalMhz = 0, lowestMhz = 0, meanMhz = 0, highestMhz = 0;
  int clockReducedPercent = 0;
  int64_t throttleEvents = -1;  ///< during the measurement; -1 where the system counts none
  uint64_t peakMemoryKib = 0;   ///< of the measured program; 0 when unknown
};

/// The busiest other processes (only those that used processor time), the busy share
/// and the unnamed time since the first snapshot.
ActivitySummary SummarizeActivity(const ActivityTally& tally);
