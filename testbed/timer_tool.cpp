// The timing tool stand-in: portable through host_access.h.
#include "timer_tool.h"

#include <cstdio>
#include <cstdlib>

#include "command_text.h"
#include "competitor.h"
#include "fake_clock.h"
#include "host_access.h"
#include "standin_files.h"
#include "timer_report.h"

int RunTimer(const std::string& arguments) {
  std::printf("Timer 3.01 (simulated machine)\n\n");
  const ProgramCall call = SplitProgramCall(
      arguments, [](const std::string& path) { return IsHostFile(HostPath(path)); });
  if (call.program.empty()) {
    std::printf("Usage: timer PROGRAM [ARGUMENTS]\n");
    return 1;
  }
  std::fflush(stdout);
  CpuTimes used;
  TimerFigures figures;
  // A competitor of the scenario works beside the measured program, from before its start
  // to after its end.
  StartCompetitor();
  // A processor clock lowered by the scenario holds while the measured program runs.
  const int clockPercent = std::atoi(ReadControl(kTimerClockControl, "0").c_str());
  const std::string systemRoot = MachineFile(kSystemRootFolder);
  if (clockPercent > 0) WriteCurrentClocks(systemRoot, kNominalClockKhz / 100 * clockPercent);
  const bool ran = RunAndMeasure(call.program, call.arguments, used, figures.wallSeconds);
  if (clockPercent > 0) WriteCurrentClocks(systemRoot, kNominalClockKhz);
  StopCompetitor();
  if (!ran) {
    std::printf("Error: cannot start \"%s\"\n", call.program.c_str());
    return 1;
  }
  std::string scripted;
  if (ReadHostFile(MachineFile(kScriptedReportFile), scripted)) {
    std::printf("\n");
    return WriteStandardOutputBytes(scripted) ? 0 : 1;
  }
  figures.userSeconds = used.user;
  figures.kernelSeconds = used.kernel;
  const std::string share = ReadControl("timer.share");
  if (!share.empty()) figures.shareOverride = std::atoi(share.c_str());
  const std::string seconds = ReadControl("timer.seconds");
  if (!seconds.empty()) figures.secondsOverride = std::strtod(seconds.c_str(), nullptr);
  std::printf("\n%s", FormatTimerReport(figures).c_str());
  return 0;
}
