#include "report/disturbance.h"

#include <gtest/gtest.h>

namespace {

LedgerLoad Shares(double busy, double process) {
  LedgerLoad load;
  load.busyKnown = load.processKnown = true;
  load.busyPercent = busy;
  load.processFigure = process;
  return load;
}

LedgerLoad Others(double cpuMs, double seconds) {
  LedgerLoad load;
  load.othersKnown = load.secondsKnown = true;
  load.othersCpuMs = cpuMs;
  load.seconds = seconds;
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
      {"2 cores, one busy beside", Shares(100.0, 100), 2, Disturbance::Disturbed},
      {"2 cores, idle beside", Shares(50.7, 100), 2, Disturbance::Calm},
      {"1 core, 10 % exactly", Shares(100.0, 90), 1, Disturbance::Calm},
      {"1 core, 10.1 %", Shares(100.0, 89.9), 1, Disturbance::Disturbed},
      {"4 threads on 4 cores", Shares(100.0, 400), 4, Disturbance::Calm},
      {"figure above the processors", Shares(95.0, 250), 2, Disturbance::Calm},
      // Without busy_percent and process_figure: 1710 + 900 + 110 ms of 2.578 s on
      // 2 processors is 52.8 %; 210 ms of 1.658 s on 2 is 6.3 %.
      {"others' milliseconds", Others(2720, 2.578), 2, Disturbance::Disturbed},
      {"few others' milliseconds", Others(210, 1.658), 2, Disturbance::Calm},
      {"no processor count", Shares(100.0, 50), 0, Disturbance::Unknown},
      {"no figures (skipped test)", LedgerLoad{}, 2, Disturbance::Unknown},
      {"milliseconds but no time",
       [] {
         LedgerLoad load = Others(500, 0);
         load.secondsKnown = false;
         return load;
       }(),
       1, Disturbance::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeLoad(c.load, c.cpus), c.expected) << c.what;
}

}  // namespace
