// The account of a measurement from its snapshots.
#include "logs/activity_tally.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

/// One process in a scenario: id, parent, group, start, processor ms, name.
struct P {
  uint32_t id, parentId, groupId;
  uint64_t startTime, cpuMs;
  const char* name;
};

/// The program is process 100 in group 100.
std::unique_ptr<ProcessSnapshot> Snapshot(uint64_t busyMs, uint64_t totalMs,
                                          const std::vector<P>& processes) {
  auto snapshot = std::make_unique<ProcessSnapshot>();
  snapshot->busyMs = busyMs;
  snapshot->totalMs = totalMs;
  snapshot->selfId = 100;
  snapshot->selfGroup = 100;
  for (const P& p : processes) {
    ProcessSample& sample = snapshot->processes[snapshot->count++];
    sample.id = p.id;
    sample.parentId = p.parentId;
    sample.groupId = p.groupId;
    sample.startTime = p.startTime;
    sample.cpuMs = p.cpuMs;
    std::strncpy(sample.name, p.name, ProcessSample::kNameCapacity);
  }
  return snapshot;
}

TEST(MarkOwnProcesses, TheProgramItsDescendantsAndLaterMembersOfItsGroup) {
  // Windows has no groups (0); the chain of parents decides there.
  const auto snapshot = Snapshot(0, 0,
                                 {
                                     {1, 0, 1, 0, 0, "init"},
                                     {100, 1, 100, 50, 0, "tarsel"},
                                     {101, 100, 100, 60, 0, "cmd"},
                                     {102, 101, 0, 61, 0, "timer.exe"},
                                     {103, 102, 0, 62, 0, "vdubm.exe"},
                                     {104, 1, 100, 63, 0, "adopted by init"},
                                     {105, 1, 105, 64, 0, "detached"},
                                     // Its parent's id now belongs to a later process.
                                     {106, 107, 0, 20, 0, "orphan"},
                                     {107, 100, 0, 70, 0, "reused id"},
                                     // The script that started the program started a
                                     // busy job first; the job's children are its own.
                                     {90, 1, 100, 10, 0, "script"},
                                     {91, 90, 100, 40, 0, "busy job"},
                                     {108, 91, 100, 80, 0, "job's child"},
                                     {109, 91, 109, 81, 0, "job's child, own group"},
                                     {110, 1, 100, 50, 0, "same tick"},
                                     {111, 5, 100, 82, 0, "adopted by a reaper"},
                                     {5, 1, 5, 1, 0, "reaper"},
                                 });
  bool own[16] = {};
  MarkOwnProcesses(*snapshot, own);
  const bool expected[16] = {false, true,  true,  true,  true,  true,  false, false,
                             true,  false, false, false, false, false, true,  false};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(own[i], expected[i]) << snapshot->processes[i].name;
  }
}

struct TallyCase {
  const char* what;
  std::vector<std::vector<P>> snapshots;  // busy and total grow by 1000 and 2000 each
  std::vector<std::string> topNames;
  std::vector<uint64_t> topCpuMs;
  uint64_t unnamedCpuMs;
};

TEST(SummarizeActivity, OtherProcessesDuringTheMeasurement) {
  const TallyCase cases[] = {
      {"only what was used during the measurement counts",
       {{{100, 1, 100, 5, 0, "tarsel"}, {7, 1, 7, 1, 4000, "hog"}, {8, 1, 8, 2, 50, "idle one"}},
        {{100, 1, 100, 5, 10, "tarsel"}, {7, 1, 7, 1, 4600, "hog"}, {8, 1, 8, 2, 50, "idle one"}}},
       {"hog"},
       {600},
       390},
      {"the measurement's own processes are left out, but they are named",
       {{{100, 1, 100, 5, 0, "tarsel"}, {101, 100, 100, 6, 0, "vdubm"}, {7, 1, 7, 1, 0, "hog"}},
        {{100, 1, 100, 5, 0, "tarsel"},
         {101, 100, 100, 6, 700, "vdubm"},
         {7, 1, 7, 1, 300, "hog"}}},
       {"hog"},
       {300},
       0},
      {"a reused id is another process, started during the measurement",
       {{{7, 1, 7, 1, 100, "old"}},
        {{7, 1, 7, 1, 300, "old"}},
        {{7, 1, 7, 900, 250, "new (same id)"}}},
       {"new (same id)", "old"},
       {250, 200},
       1550},
      {"a process that ends mid-measurement keeps what it was seen to use",
       {{{7, 1, 7, 1, 0, "short"}, {8, 1, 8, 2, 0, "long"}},
        {{7, 1, 7, 1, 400, "short"}, {8, 1, 8, 2, 100, "long"}},
        {{8, 1, 8, 2, 200, "long"}}},
       {"short", "long"},
       {400, 200},
       1400},
      {"five at most, most first, ties by id",
       {{{1, 0, 1, 0, 0, "a"},
         {2, 0, 2, 0, 0, "b"},
         {3, 0, 3, 0, 0, "c"},
         {4, 0, 4, 0, 0, "d"},
         {5, 0, 5, 0, 0, "e"},
         {6, 0, 6, 0, 0, "f"}},
        {{1, 0, 1, 0, 10, "a"},
         {2, 0, 2, 0, 50, "b"},
         {3, 0, 3, 0, 30, "c"},
         {4, 0, 4, 0, 30, "d"},
         {5, 0, 5, 0, 20, "e"},
         {6, 0, 6, 0, 40, "f"}}},
       {"b", "f", "c", "d", "e"},
       {50, 40, 30, 30, 20},
       820},
  };
  for (const TallyCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto tally = std::make_unique<ActivityTally>();
    uint64_t busy = 0;
    for (const std::vector<P>& processes : c.snapshots) {
      AddSnapshot(*tally, *Snapshot(busy, busy * 2, processes));
      busy += 1000;
    }
    const ActivitySummary summary = SummarizeActivity(*tally);
    ASSERT_TRUE(summary.measured);
    EXPECT_EQ(summary.busyPermille, 500);
    ASSERT_EQ(summary.topCount, static_cast<int>(c.topNames.size()));
    for (int i = 0; i < summary.topCount; ++i) {
      EXPECT_EQ(summary.top[i].name, c.topNames[i]);
      EXPECT_EQ(summary.top[i].cpuMs, c.topCpuMs[i]);
    }
    EXPECT_EQ(summary.unnamedCpuMs, c.unnamedCpuMs);
  }
}

// A crowded machine: every process is followed up to the capacity; beyond it the busy
// ones still are, and the account says how many it left out.
TEST(SummarizeActivity, TheBusyOneOfACrowdedMachineIsNamed) {
  struct Crowd {
    int idle;       // idle processes, in every snapshot
    bool busyLate;  // the busy one starts after the first snapshot
    // The measured command, started after the first snapshot: an idle interpreter and its
    // busier child, with no process groups (Windows).
    bool measured;
    int seen, followed;
    bool incomplete;
  };
  const Crowd crowds[] = {
      {5000, false, false, 5001, 5001, false},
      {ActivityTally::kCapacity, true, false, ActivityTally::kCapacity + 1,
       ActivityTally::kCapacity, true},
      {ActivityTally::kCapacity - 1, true, true, ActivityTally::kCapacity + 3,
       ActivityTally::kCapacity, true},
  };
  for (const Crowd& crowd : crowds) {
    SCOPED_TRACE(crowd.idle);
    auto tally = std::make_unique<ActivityTally>();
    for (int round = 0; round < 3; ++round) {
      auto snapshot = Snapshot(round * 1000, round * 2000, {});
      if (crowd.measured) {
        snapshot->selfGroup = 0;
        ProcessSample self;
        self.id = 100;
        AddProcessSample(*snapshot, self);
      }
      for (int i = 0; i < crowd.idle; ++i) {
        snapshot->processes[snapshot->count++] = ProcessSample();
        snapshot->processes[snapshot->count - 1].id = static_cast<uint32_t>(1000 + i);
        snapshot->processes[snapshot->count - 1].cpuMs = 7;
      }
      snapshot->seen = snapshot->count;
      if (round > 0 || !crowd.busyLate) {
        ProcessSample busy;
        busy.id = 999;
        busy.startTime = crowd.busyLate ? 5 : 0;
        busy.cpuMs = static_cast<uint64_t>(round) * 400;
        std::strcpy(busy.name, "hog");
        AddProcessSample(*snapshot, busy);
      }
      if (crowd.measured && round > 0) {
        const P chain[] = {{200, 100, 0, 5, 0, "cmd.exe"}, {201, 200, 0, 6, round * 600u, "enc"}};
        for (const P& p : chain) {
          ProcessSample sample;
          sample.id = p.id;
          sample.parentId = p.parentId;
          sample.startTime = p.startTime;
          sample.cpuMs = p.cpuMs;
          std::strcpy(sample.name, p.name);
          AddProcessSample(*snapshot, sample);
        }
      }
      AddSnapshot(*tally, *snapshot);
    }
    const ActivitySummary summary = SummarizeActivity(*tally);
    ASSERT_EQ(summary.topCount, 1);
    EXPECT_STREQ(summary.top[0].name, "hog");
    EXPECT_EQ(summary.top[0].cpuMs, 800u);
    EXPECT_EQ(summary.processesSeen, crowd.seen);
    EXPECT_EQ(summary.processesFollowed, crowd.followed);
    EXPECT_EQ(summary.incomplete, crowd.incomplete);
  }
}

TEST(SummarizeActivity, OneSnapshotMeasuresNothing) {
  auto tally = std::make_unique<ActivityTally>();
  AddSnapshot(*tally, *Snapshot(10, 20, {{7, 1, 7, 1, 0, "hog"}}));
  EXPECT_FALSE(SummarizeActivity(*tally).measured);
}

/// One processor in one snapshot: its busy and total ms so far, current and nominal MHz.
struct Cpu {
  uint64_t busyMs, totalMs;
  uint32_t currentMhz, nominalMhz;
};

// The clock summary: only processors busy for at least half of a span count, and a
// span counts as reduced when one of them ran below 95 % of nominal.
TEST(SummarizeActivity, TheClockOfBusyProcessors) {
  struct Case {
    const char* what;
    std::vector<std::vector<Cpu>> snapshots;
    bool known;
    int nominal, lowest, mean, highest, reducedPercent;
  };
  const Case cases[] = {
      {"steady",
       {{{0, 0, 2000, 2000}}, {{500, 500, 2000, 2000}}, {{1000, 1000, 2000, 2000}}},
       true,
       2000,
       2000,
       2000,
       2000,
       0},
      {"reduced in one span of two, 95 % is not reduced",
       {{{0, 0, 2000, 2000}}, {{500, 500, 1899, 2000}}, {{1000, 1000, 1900, 2000}}},
       true,
       2000,
       1899,
       1900,
       1900,
       50},
      {"an idle processor at its lowest clock never counts; half busy does",
       {{{0, 0, 2000, 2000}, {0, 0, 800, 2000}},
        {{250, 500, 1000, 2000}, {249, 500, 800, 2000}},
        {{500, 1000, 2000, 2000}, {0, 1000, 800, 2000}}},
       true,
       2000,
       1000,
       1500,
       2000,
       50},
      {"no processor busy: the nominal clock only",
       {{{0, 0, 800, 2000}}, {{10, 500, 800, 2000}}},
       true,
       2000,
       0,
       0,
       0,
       0},
      {"no cpufreq", {{{0, 0, 0, 0}}, {{500, 500, 0, 0}}}, false, 0, 0, 0, 0, 0},
      {"no processor times", {{}, {}}, false, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto tally = std::make_unique<ActivityTally>();
    ClearTally(*tally);
    for (const std::vector<Cpu>& cpus : c.snapshots) {
      const auto snapshot = Snapshot(0, 0, {{100, 1, 100, 50, 0, "tarsel"}});
      for (const Cpu& cpu : cpus) {
        snapshot->processors[snapshot->processorCount++] = {cpu.busyMs, cpu.totalMs, cpu.currentMhz,
                                                            cpu.nominalMhz};
      }
      AddSnapshot(*tally, *snapshot);
    }
    const ActivitySummary summary = SummarizeActivity(*tally);
    EXPECT_EQ(summary.clockKnown, c.known);
    EXPECT_EQ(summary.nominalMhz, c.nominal);
    EXPECT_EQ(summary.lowestMhz, c.lowest);
    EXPECT_EQ(summary.meanMhz, c.mean);
    EXPECT_EQ(summary.highestMhz, c.highest);
    EXPECT_EQ(summary.clockReducedPercent, c.reducedPercent);
  }
}

// Throttling events between the first and the last snapshot that counted them, and the
// largest working set of the program's own processes, never the program itself nor
// another program.
TEST(SummarizeActivity, ThrottlingAndPeakMemory) {
  struct Case {
    const char* what;
    std::vector<int64_t> throttle;  // per snapshot
    int64_t events;
  };
  const Case cases[] = {
      {"counted", {7, -1, 12}, 5},
      {"not counted", {-1, -1, -1}, -1},
      {"counted at the start only", {7, -1, -1}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto tally = std::make_unique<ActivityTally>();
    ClearTally(*tally);
    const uint64_t peaks[][3] = {{50000, 1000, 90000}, {60000, 3000, 99000}, {40000, 2000, 0}};
    for (size_t i = 0; i < c.throttle.size(); ++i) {
      const auto snapshot = Snapshot(0, 0,
                                     {{100, 1, 100, 50, 0, "tarsel"},
                                      {101, 100, 100, 60, 0, "encoder"},
                                      {200, 1, 200, 10, 0, "other"}});
      for (int k = 0; k < 3; ++k) snapshot->processes[k].peakMemoryKib = peaks[i][k];
      snapshot->throttleEvents = c.throttle[i];
      AddSnapshot(*tally, *snapshot);
    }
    const ActivitySummary summary = SummarizeActivity(*tally);
    EXPECT_EQ(summary.throttleEvents, c.events);
    EXPECT_EQ(summary.peakMemoryKib, 3000u);
  }
}

}  // namespace
