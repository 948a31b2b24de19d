// The timing tool's report: portable, no operating-system calls.
#include "timer_report.h"

#include <cmath>
#include <cstdio>

namespace {

int PercentOf(double part, double whole) {
  if (whole <= 0) return part > 0 ? 100 : 0;
  return static_cast<int>(std::lround(part * 100 / whole));
}

std::string TimeLine(const char* label, double seconds, int percent) {
  char line[96];
  std::snprintf(line, sizeof line, "%-12s = %9.3f = %4d%%\n", label, seconds, percent);
  return line;
}

}  // namespace

int ProcessSharePercent(const TimerFigures& figures) {
  if (figures.shareOverride >= 0) return figures.shareOverride;
  if (figures.wallSeconds <= 0) return 100;
  return PercentOf(figures.userSeconds + figures.kernelSeconds, figures.wallSeconds);
}

std::string FormatTimerReport(const TimerFigures& figures) {
  const double measuredWall = figures.wallSeconds > 0 ? figures.wallSeconds : 0;
  const double wall = figures.secondsOverride >= 0 ? figures.secondsOverride : measuredWall;
  double user = figures.userSeconds;
  double kernel = figures.kernelSeconds;
  if (figures.shareOverride >= 0 || figures.secondsOverride >= 0) {
    // Scale both parts so that the printed times agree with the reported share of the
    // reported wall time.
    const double wanted = wall * ProcessSharePercent(figures) / 100;
    const double measured = user + kernel;
    if (measured > 0) {
      user = user * wanted / measured;
      kernel = kernel * wanted / measured;
    } else {
      user = wanted;
    }
  }
  std::string report;
  report += TimeLine("Kernel Time", kernel, PercentOf(kernel, wall));
  report += TimeLine("User Time", user, PercentOf(user, wall));
  report += TimeLine("Process Time", user + kernel, ProcessSharePercent(figures));
  report += TimeLine("Global Time", wall, 100);
  return report;
}
