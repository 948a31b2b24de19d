// The timing tool stand-in (timer.exe): runs the command line it is given, waits for
// it, and prints its report (timer_report.h).
#pragma once

#include <string>

/// Runs the program at the front of the argument text (an unquoted path with blanks is
/// found as Windows finds it) with the rest as its arguments, then prints the report.
/// The machine's controls "timer.share" and "timer.seconds" replace the measured process
/// share and wall time. Where the machine folder holds kScriptedReportFile, its bytes are
/// printed instead of the report, so that a scenario can give the program any test log
/// without racing it for the file.
int RunTimer(const std::string& arguments);

inline constexpr char kScriptedReportFile[] = "timer-report.txt";
