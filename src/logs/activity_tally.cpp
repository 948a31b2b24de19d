// What other programs did during a measurement.
#include "logs/activity_tally.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kNoParent = -1;
/// The process that adopts orphans.
constexpr uint32_t kAdopter = 1;

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

/// A place for a new process in a full account: that of a process that has used no
/// processor time since it is followed and that this snapshot has not seen (yet); -1
/// when there is none.
int MakeRoom(ActivityTally& tally) {
  for (int step = 0; step < tally.count; ++step) {
    const int i = (tally.evictAt + step) % tally.count;
    const TrackedProcess& tracked = tally.processes[i];
    if (tracked.lastCpuMs == tracked.firstCpuMs && tracked.seenAt != tally.snapshots) {
      tally.evictAt = i + 1;
      return i;
    }
  }
  return -1;
}

/// Adds the span from the last snapshot to this one to the account of the clocks.
void AddClockSpan(ActivityTally& tally, const ProcessSnapshot& snapshot) {
  const int count = snapshot.processorCount;
  bool clockTold = false, reduced = false;
  if (count == tally.lastProcessorCount) {
    for (int i = 0; i < count; ++i) {
      const ProcessorSample& now = snapshot.processors[i];
      const ProcessorSample& before = tally.lastProcessors[i];
      if (now.nominalMhz == 0) continue;
      clockTold = true;
      if (now.nominalMhz > tally.nominalMhz) tally.nominalMhz = now.nominalMhz;
      const uint64_t total = now.totalMs > before.totalMs ? now.totalMs - before.totalMs : 0;
      const uint64_t busy = now.busyMs > before.busyMs ? now.busyMs - before.busyMs : 0;
      if (total == 0 || busy * 100 < total * kBusyProcessorPercent || now.currentMhz == 0) {
        continue;
      }
      if (tally.busyClocks == 0 || now.currentMhz < tally.lowestMhz)
        tally.lowestMhz = now.currentMhz;
      if (now.currentMhz > tally.highestMhz) tally.highestMhz = now.currentMhz;
      tally.busyClockSumMhz += now.currentMhz;
      ++tally.busyClocks;
      reduced = reduced ||
                uint64_t{now.currentMhz} * 100 < uint64_t{now.nominalMhz} * kReducedClockPercent;
    }
  }
  tally.clockSpans += clockTold;
  tally.reducedSpans += reduced;
  tally.lastProcessorCount = count;
  std::copy(snapshot.processors, snapshot.processors + count, tally.lastProcessors);
}

}  // namespace

void MarkOwnProcesses(const ProcessSnapshot& snapshot, bool own[]) {
  // The processes by id, so that a parent is found by a binary search.
  static int byId[ProcessSnapshot::kCapacity];
  static int parentOf[ProcessSnapshot::kCapacity];
  const int count = snapshot.count;
  const ProcessSample* processes = snapshot.processes;
  for (int i = 0; i < count; ++i) byId[i] = i;
  std::sort(byId, byId + count, [processes](int a, int b) {
    return processes[a].id < processes[b].id ||
           (processes[a].id == processes[b].id && processes[a].startTime < processes[b].startTime);
  });
  uint64_t selfStart = UINT64_MAX;
  for (int i = 0; i < count; ++i) {
    if (processes[i].id == snapshot.selfId) selfStart = processes[i].startTime;
  }
  for (int i = 0; i < count; ++i) {
    const ProcessSample& process = processes[i];
    parentOf[i] = kNoParent;
    const int* at =
        std::lower_bound(byId, byId + count, process.parentId,
                         [processes](int k, uint32_t id) { return processes[k].id < id; });
    for (; at != byId + count && processes[*at].id == process.parentId; ++at) {
      if (*at != i && process.parentId != kAdopter &&
          processes[*at].startTime <= process.startTime) {
        parentOf[i] = *at;
      }
    }
  }
  for (int i = 0; i < count; ++i) {
    const ProcessSample& process = processes[i];
    const bool groupMember = snapshot.selfGroup != 0 && process.groupId == snapshot.selfGroup;
    // A parent of the same group decides for its child (below); one outside it, or none,
    // means the process was adopted.
    const bool adopted =
        parentOf[i] == kNoParent || processes[parentOf[i]].groupId != process.groupId;
    own[i] =
        process.id == snapshot.selfId || (groupMember && adopted && process.startTime > selfStart);
  }
  // Each pass carries ownership one generation further down.
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < count; ++i) {
      if (!own[i] && parentOf[i] != kNoParent && own[parentOf[i]]) {
        own[i] = true;
        changed = true;
      }
    }
  }
}

void ClearTally(ActivityTally& tally) {
  tally.snapshots = 0;
  tally.failedSnapshots = 0;
  tally.incomplete = false;
  tally.latestFirstStart = 0;
  tally.firstBusyMs = tally.lastBusyMs = tally.firstTotalMs = tally.lastTotalMs = 0;
  tally.widestSeen = tally.widestFollowed = 0;
  tally.evictAt = 0;
  tally.count = 0;
  tally.lastProcessorCount = 0;
  tally.clockSpans = tally.reducedSpans = tally.busyClocks = 0;
  tally.busyClockSumMhz = 0;
  tally.lowestMhz = tally.highestMhz = tally.nominalMhz = 0;
  tally.firstThrottleEvents = tally.lastThrottleEvents = -1;
  tally.peakMemoryKib = 0;
}

void AddSnapshot(ActivityTally& tally, const ProcessSnapshot& snapshot) {
  static bool own[ProcessSnapshot::kCapacity];
  MarkOwnProcesses(snapshot, own);
  const bool first = tally.snapshots == 0;
  if (first) {
    tally.firstBusyMs = snapshot.busyMs;
    tally.firstTotalMs = snapshot.totalMs;
    for (int i = 0; i < snapshot.count; ++i) {
      if (snapshot.processes[i].startTime > tally.latestFirstStart) {
        tally.latestFirstStart = snapshot.processes[i].startTime;
      }
    }
  }
  tally.lastBusyMs = snapshot.busyMs;
  tally.lastTotalMs = snapshot.totalMs;
  if (first) {
    tally.lastProcessorCount = snapshot.processorCount;
    std::copy(snapshot.processors, snapshot.processors + snapshot.processorCount,
              tally.lastProcessors);
    tally.firstThrottleEvents = snapshot.throttleEvents;
  } else {
    AddClockSpan(tally, snapshot);
  }
  if (snapshot.throttleEvents >= 0) tally.lastThrottleEvents = snapshot.throttleEvents;
  ++tally.snapshots;

  int hint = 0;
  for (int i = 0; i < snapshot.count; ++i) {
    const ProcessSample& sample = snapshot.processes[i];
    if (own[i] && sample.id != snapshot.selfId && sample.peakMemoryKib > tally.peakMemoryKib) {
      tally.peakMemoryKib = sample.peakMemoryKib;
    }
    const int found = FindTracked(tally, sample, hint);
    if (found >= 0) {
      TrackedProcess& tracked = tally.processes[found];
      tracked.lastCpuMs = sample.cpuMs;
      tracked.own = tracked.own || own[i];
      tracked.seenAt = tally.snapshots;
      continue;
    }
    const int place = tally.count < ActivityTally::kCapacity ? tally.count++ : MakeRoom(tally);
    // Without a place it is not followed; its time counts as unnamed.
    if (place < 0) continue;
    TrackedProcess& added = tally.processes[place];
    added = TrackedProcess();
    added.id = sample.id;
    added.startTime = sample.startTime;
    // A process that started after every one the first snapshot saw did all its work
    // during the measurement; any other was there before, and only counts from here.
    added.firstCpuMs = !first && sample.startTime > tally.latestFirstStart ? 0 : sample.cpuMs;
    added.lastCpuMs = sample.cpuMs;
    added.own = own[i];
    added.seenAt = tally.snapshots;
    std::memcpy(added.name, sample.name, sizeof added.name);
  }
  // Those of this snapshot that the account follows now; a place made for a later one
  // may have gone to an earlier one of the same snapshot.
  int followed = 0;
  for (int i = 0; i < tally.count; ++i) followed += tally.processes[i].seenAt == tally.snapshots;
  const int seen = snapshot.seen > snapshot.count ? snapshot.seen : snapshot.count;
  const int leftOut = seen - followed;
  if (leftOut > 0) tally.incomplete = true;
  if (leftOut > tally.widestSeen - tally.widestFollowed ||
      (leftOut == tally.widestSeen - tally.widestFollowed && seen > tally.widestSeen)) {
    tally.widestSeen = seen;
    tally.widestFollowed = seen - leftOut;
  }
}

void AddFailedSnapshot(ActivityTally& tally) {
  ++tally.failedSnapshots;
  tally.incomplete = true;
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
  summary.processesSeen = tally.widestSeen;
  summary.processesFollowed = tally.widestFollowed;
  summary.incomplete = tally.incomplete;
  summary.clockKnown = tally.clockSpans > 0;
  if (summary.clockKnown) {
    summary.nominalMhz = static_cast<int>(tally.nominalMhz);
    summary.lowestMhz = static_cast<int>(tally.lowestMhz);
    summary.highestMhz = static_cast<int>(tally.highestMhz);
    if (tally.busyClocks > 0) {
      summary.meanMhz = static_cast<int>((tally.busyClockSumMhz + tally.busyClocks / 2) /
                                         static_cast<uint64_t>(tally.busyClocks));
    }
    summary.clockReducedPercent =
        (tally.reducedSpans * 200 + tally.clockSpans) / (2 * tally.clockSpans);
  }
  if (tally.firstThrottleEvents >= 0 && tally.lastThrottleEvents >= tally.firstThrottleEvents) {
    summary.throttleEvents = tally.lastThrottleEvents - tally.firstThrottleEvents;
  }
  summary.peakMemoryKib = tally.peakMemoryKib;
  return summary;
}
