// Whether other programs disturbed a result, and whether the processor kept its clock.
#include "report/disturbance.h"

#include <algorithm>

#include "logs/ledger_format.h"

bool OthersSharePercent(const LedgerLoad& load, int cpuCount, double& percent) {
  if (cpuCount < 1) return false;
  const double processors = cpuCount;
  if (load.busyKnown && load.processKnown) {
    // A multi-threaded encoder's figure may pass 100 %, never all processors.
    const double own = std::min(load.processFigure, 100 * processors) / processors;
    percent = std::max(0.0, load.busyPercent - own);
    return true;
  }
  if (load.othersKnown && load.secondsKnown && load.seconds > 0) {
    percent = load.othersCpuMs / (load.seconds * 1000 * processors) * 100;
    return true;
  }
  return false;
}

Disturbance JudgeLoad(const LedgerLoad& load, int cpuCount) {
  double percent = 0;
  if (!OthersSharePercent(load, cpuCount, percent)) return Disturbance::Unknown;
  return percent > kDisturbedSharePercent ? Disturbance::Disturbed : Disturbance::Calm;
}

ClockState JudgeClock(const LedgerLoad& load) {
  if (!load.clockKnown) return ClockState::Unknown;
  return load.clockReducedPercent >= kClockReducedMarkPercent ? ClockState::Reduced
                                                              : ClockState::Steady;
}
