// What every process of the machine has used of the processor so far, listed without
// opening any of them. The backends fetch the system's own records (the lines of
// /proc, the records of the Windows process list) and read them with the portable
// readers of system_records.cpp.
#pragma once

#include <cstdint>

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
  /// The largest working set it has had, in KiB; 0 where the snapshot did not read it
  /// (on POSIX only the program's own descendants are read, and only by the snapshots
  /// that read every process).
  uint64_t peakMemoryKib = 0;
  /// The program or a descendant listed after its parent, which a full snapshot keeps
  /// whatever its processor time (set by AddProcessSample).
  bool family = false;
};

/// One processor at the moment of a snapshot.
struct ProcessorSample {
  uint64_t busyMs = 0;      ///< its processor time not spent idle so far
  uint64_t totalMs = 0;     ///< all its processor time so far, idle included
  uint32_t currentMhz = 0;  ///< its clock now; 0 where the system does not tell
  uint32_t nominalMhz = 0;  ///< its nominal clock, not a turbo maximum; 0 where unknown
};

/// The processes of one moment and the machine's processor time up to it. Large enough
/// for every process of all but the most crowded machines; beyond it the busiest are kept
/// (AddProcessSample).
struct ProcessSnapshot {
  static constexpr int kCapacity = 8192;

  uint64_t busyMs = 0;   ///< processor time not spent idle, all processors together
  uint64_t totalMs = 0;  ///< all processor time, idle included
  uint32_t selfId = 0;   ///< the program's own process
  uint32_t selfGroup = 0;
  /// Processes the system listed; more than `count` when some were left out (beyond
  /// kCapacity, or unreadable). Every field starts at zero, so that a snapshot kept for
  /// the program's whole life takes no memory until it is filled.
  int seen = 0;
  int count = 0;
  ProcessSample processes[kCapacity];
  /// The ids of the program and of its descendants listed so far in this snapshot.
  static constexpr int kFamilyCapacity = 64;
  int familyCount = 0;
  uint32_t family[kFamilyCapacity] = {};
  /// Each processor's times and clock, in the system's order; none where the system
  /// gives no times of its own per processor.
  static constexpr int kProcessorCapacity = 64;
  int processorCount = 0;
  ProcessorSample processors[kProcessorCapacity];
  /// Throttling events the system has counted so far, all processors together; -1
  /// where it counts none, or where this snapshot did not read them (only those that
  /// read every process do).
  int64_t throttleEvents = -1;
};

/// Adds a listed process; the first one after `seen` was set to 0 begins a snapshot. A
/// full snapshot keeps the busiest: the new one takes the place of the one with the least
/// processor time so far when it has more. The program and its descendants listed after
/// their parents stay, and always get a place: without an idle one in the middle (the
/// command interpreter, the timing tool), the chain of parents, all that tells the
/// program's own processes on Windows, would break.
void AddProcessSample(ProcessSnapshot& snapshot, const ProcessSample& sample);

/// How much of each process a snapshot reads anew.
enum class SnapshotReading {
  Every,  ///< the figures of every process
  /// Where reading a process costs a call of its own (/proc): only the processes that
  /// are new, or that used the processor between their last two readings; the others
  /// keep the figures of their last reading. Where one call lists them all, as Every.
  Active,
};

/// Lists every process with its processor time, and the machine's totals. False when
/// the system gives no list; the snapshot is then empty. A process whose figures cannot
/// be read (the system refuses a file) is left out, counted in `seen` only. Snapshots
/// never take what the measured program needs: on POSIX they hold open at most a
/// quarter of the open-file limit and never more than half of what is free of it. Those
/// taken one after the other reuse what the earlier ones opened and read (never
/// inherited by a started program); FinishProcessSnapshots lets it go.
bool TakeProcessSnapshot(ProcessSnapshot& snapshot, SnapshotReading reading);

/// Releases what the snapshots since the last call keep open or allocated.
void FinishProcessSnapshots();
