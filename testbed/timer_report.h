// The timing tool's report: the four time lines it prints after the measured program
// has ended.
#pragma once

#include <string>

/// What one measurement found.
struct TimerFigures {
  double wallSeconds = 0;  ///< from the start of the program to its end
  double userSeconds = 0;  ///< CPU time of the program and everything it waited for
  double kernelSeconds = 0;
  /// A process share to report instead of the measured one, in percent; negative for
  /// none. The reported process time then matches it.
  int shareOverride = -1;
  /// A time to report instead of the measured wall time, in seconds; negative for none.
  /// The reported process time then keeps the share (measured or replaced) of it.
  double secondsOverride = -1;
};

/// The report lines, each ended by "\n":
///   "Kernel Time  =     0.015 =    0%"
///   "User Time    =     2.031 =   99%"
///   "Process Time =     2.046 =   99%"
///   "Global Time  =     2.060 =  100%"
/// Times have three decimals; shares are whole percentages of the reported wall time,
/// rounded; kernel and user time keep their measured proportion.
/// No other line holds "Global" or "Process", and the figure of the "Process" line
/// follows its last blank and is closed by "%".
std::string FormatTimerReport(const TimerFigures& figures);

/// The process share in whole percent, rounded; 100 when no wall time passed.
int ProcessSharePercent(const TimerFigures& figures);
