#include "report/disturbance.h"

#include <gtest/gtest.h>

namespace {

constexpr double kNone = -1;

// The figures a block has; kNone for one it lacks.
LedgerLoad Load(double busy, double process, double othersMs = kNone, double seconds = kNone) {
  LedgerLoad load;
  load.busyKnown = busy != kNone, load.busyPercent = busy;
  load.processKnown = process != kNone, load.processFigure = process;
  load.othersKnown = othersMs != kNone, load.othersCpuMs = othersMs;
  load.secondsKnown = seconds != kNone, load.seconds = seconds;
  return load;
}

TEST(Disturbance, OtherProgramsShareOfAllProcessorsDecides) {
  const struct {
    const char* what;
    LedgerLoad load;
    int cpus;
    Disturbance expected;
  } cases[] = {
      // A single-threaded encode at 100 % while another core is fully busy: the
      // timing tool cannot see it; the whole machine's 100 % busy share can.
      {"2 cores, one busy beside", Load(100.0, 100), 2, Disturbance::Disturbed},
      {"2 cores, idle beside", Load(50.7, 100), 2, Disturbance::Calm},
      {"1 core, 10 % exactly", Load(100.0, 90), 1, Disturbance::Calm},
      {"1 core, 10.1 %", Load(100.0, 89.9), 1, Disturbance::Disturbed},
      {"4 threads on 4 cores", Load(100.0, 400), 4, Disturbance::Calm},
      {"figure above the processors", Load(95.0, 250), 2, Disturbance::Calm},
      // Without busy_percent and process_figure: 1710 + 900 + 110 ms of 2.578 s on
      // 2 processors is 52.8 %; 210 ms of 1.658 s on 2 is 6.3 %.
      {"others' milliseconds", Load(kNone, kNone, 2720, 2.578), 2, Disturbance::Disturbed},
      {"few others' milliseconds", Load(kNone, kNone, 210, 1.658), 2, Disturbance::Calm},
      {"no processor count", Load(100.0, 50), 0, Disturbance::Unknown},
      {"no figures (skipped test)", Load(kNone, kNone), 2, Disturbance::Unknown},
      {"milliseconds but no time", Load(kNone, kNone, 500), 1, Disturbance::Unknown},
      // process_figure "missing": the milliseconds decide, not busy_percent alone.
      {"no process figure", Load(100.0, kNone, 210, 1.658), 2, Disturbance::Calm},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeLoad(c.load, c.cpus), c.expected) << c.what;
}

}  // namespace
