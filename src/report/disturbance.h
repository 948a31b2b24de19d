// Whether other programs disturbed a result, and whether the processor kept its clock:
// from what a ledger's test block says about the processors during the measurement
// (docs/report.md gives the rules).
#pragma once

#include <cstdint>

/// The figures of a test block that tell how busy other programs kept the machine, and
/// how long the processor ran below its clock.
struct LedgerLoad {
  bool busyKnown = false;
  double busyPercent = 0;  ///< busy_percent: the whole machine, all processors
  bool processKnown = false;
  double processFigure = 0;  ///< process_figure: the encoder's share of one processor
  bool othersKnown = false;
  double othersCpuMs = 0;  ///< the other.N.cpu_ms and unnamed_cpu_ms together
  bool secondsKnown = false;
  double seconds = 0;  ///< encoding_time: how long the measurement took
  bool clockKnown = false;
  double clockReducedPercent = 0;  ///< clock_reduced_percent
};

/// Other programs may use this share of all processors, in percent, before a result
/// counts as disturbed.
inline constexpr double kDisturbedSharePercent = 10.0;

/// The share of all processors other programs used during the measurement, in percent:
/// busy_percent less the encoder's own share (its process figure over the processors);
/// else, without those, the other programs' and the unnamed processor time over the
/// encoding time on all processors. False when the figures do not tell.
bool OthersSharePercent(const LedgerLoad& load, int cpuCount, double& percent);

enum class Disturbance : uint8_t { Unknown, Calm, Disturbed };

/// Disturbed when the other programs' share is above kDisturbedSharePercent.
Disturbance JudgeLoad(const LedgerLoad& load, int cpuCount);

enum class ClockState : uint8_t { Unknown, Steady, Reduced };

/// Reduced when clock_reduced_percent is kClockReducedMarkPercent or more; Unknown
/// where the block tells no clock (the system gave none), never Reduced.
ClockState JudgeClock(const LedgerLoad& load);
