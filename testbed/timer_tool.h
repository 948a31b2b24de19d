// The timing tool stand-in (timer.exe): runs the command line it is given, waits for
// it, and prints its report (timer_report.h).
#pragma once

#include <string>

/// Runs the program at the front of the argument text (an unquoted path with blanks is
/// found as Windows finds it) with the rest as its arguments, then prints the report.
/// The machine's controls "timer.share" and "timer.seconds" replace the measured process
/// share and wall time.
int RunTimer(const std::string& arguments);
