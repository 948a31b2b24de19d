// What other programs did during a measurement.
#include "logs/activity_tally.h"

#include <cstring>

namespace {

constexpr int kNoParent = -1;

/// The index in the tally of the process, or -1. Snapshots list processes in much the
/// same order each time, so the search starts after the last one found.
int FindTracked(const ActivityTally& tally, const ProcessSample& sample, int& hint) {
  for (int step = 0; step < tally.count; ++step) {
    const int i = (hint + step) % tally.count;
    const TrackedProcess& tracked = tally.processes[i];
    if (tracked.id == sample.id && tracked.startTime == sample.startTime) {
      hint = i + 1;
      return i;
    }
  }
  return -1;
}

}  // namespace

void MarkOwnProcesses(const ProcessSnapshot& snapshot, bool own[]) {
  static int parentOf[ProcessSnapshot::kCapacity];
  for (int i = 0; i < snapshot.count; ++i) {
    const ProcessSample& process = snapshot.processes[i];
    own[i] = process.id == snapshot.selfId ||
             (snapshot.selfGroup != 0 && process.groupId == snapshot.selfGroup);
    parentOf[i] = kNoParent;
    for (int j = 0; j < snapshot.count; ++j) {
      const ProcessSample& parent = snapshot.processes[j];
      if (j != i && parent.id == process.parentId && parent.startTime <= process.startTime) {
        parentOf[i] = j;
        break;
      }
    }
  }
  // Each pass carries ownership one generation further down.
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < snapshot.count; ++i) {
      if (!own[i] && parentOf[i] != kNoParent && own[parentOf[i]]) {
        own[i] = true;
        changed = true;
      }
    }
  }
}

void AddSnapshot(ActivityTally& tally, const ProcessSnapshot& snapshot) {
  static bool own[ProcessSnapshot::kCapacity];
  MarkOwnProcesses(snapshot, own);
  const bool first = tally.snapshots == 0;
  if (first) {
    tally.firstBusyMs = snapshot.busyMs;
    tally.firstTotalMs = snapshot.totalMs;
    tally.firstComplete = snapshot.complete;
  }
  tally.lastBusyMs = snapshot.busyMs;
  tally.lastTotalMs = snapshot.totalMs;
  ++tally.snapshots;

  int hint = 0;
  for (int i = 0; i < snapshot.count; ++i) {
    const ProcessSample& sample = snapshot.processes[i];
    const int found = FindTracked(tally, sample, hint);
    if (found >= 0) {
      TrackedProcess& tracked = tally.processes[found];
      tracked.lastCpuMs = sample.cpuMs;
      tracked.own = tracked.own || own[i];
      continue;
    }
    // Beyond the capacity a process is not followed; its time counts as unnamed.
    if (tally.count >= ActivityTally::kCapacity) continue;
    TrackedProcess& added = tally.processes[tally.count++];
    added = TrackedProcess();
    added.id = sample.id;
    added.startTime = sample.startTime;
    // A process the first snapshot did not see started during the measurement, and all
    // its time belongs to it; unless that snapshot had to leave processes out.
    added.firstCpuMs = first || !tally.firstComplete ? sample.cpuMs : 0;
    added.lastCpuMs = sample.cpuMs;
    added.own = own[i];
    std::memcpy(added.name, sample.name, sizeof added.name);
  }
}

ActivitySummary SummarizeActivity(const ActivityTally& tally) {
  ActivitySummary summary;
  summary.measured = tally.snapshots >= 2;
  if (!summary.measured) return summary;

  uint64_t named = 0;
  for (int i = 0; i < tally.count; ++i) {
    const TrackedProcess& process = tally.processes[i];
    const uint64_t used =
        process.lastCpuMs > process.firstCpuMs ? process.lastCpuMs - process.firstCpuMs : 0;
    named += used;
    if (process.own || used == 0) continue;
    // Insertion into the short list, most first, ties by id.
    int at = summary.topCount;
    while (at > 0 && (summary.top[at - 1].cpuMs < used ||
                      (summary.top[at - 1].cpuMs == used && summary.top[at - 1].id > process.id))) {
      --at;
    }
    if (at >= ActivitySummary::kTopCount) continue;
    const int last = summary.topCount < ActivitySummary::kTopCount ? summary.topCount
                                                                   : ActivitySummary::kTopCount - 1;
    for (int k = last; k > at; --k) summary.top[k] = summary.top[k - 1];
    if (summary.topCount < ActivitySummary::kTopCount) ++summary.topCount;
    OtherProcess& entry = summary.top[at];
    std::memcpy(entry.name, process.name, sizeof entry.name);
    entry.id = process.id;
    entry.cpuMs = used;
  }

  const uint64_t busy =
      tally.lastBusyMs > tally.firstBusyMs ? tally.lastBusyMs - tally.firstBusyMs : 0;
  const uint64_t total =
      tally.lastTotalMs > tally.firstTotalMs ? tally.lastTotalMs - tally.firstTotalMs : 0;
  summary.busyPermille = total > 0 ? static_cast<int>((busy * 1000 + total / 2) / total) : 0;
  summary.unnamedCpuMs = busy > named ? busy - named : 0;
  return summary;
}
