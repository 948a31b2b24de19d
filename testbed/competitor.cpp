// A busy program beside the measured encoder: portable through host_access.h.
#include "competitor.h"

#include <chrono>
#include <cstdio>

#include "command_text.h"
#include "host_access.h"
#include "platform/process.h"
#include "standin_files.h"

namespace {

constexpr char kStopFile[] = "competitor.stop";
constexpr char kBusyFile[] = "competitor.busy";
constexpr auto kLookEvery = std::chrono::milliseconds(50);
constexpr auto kLongest = std::chrono::seconds(60);

/// Whether the timer starts and stops the competitor; not when a script does.
bool StartedByTimer() {
  return !ReadControl(kCompetitorControl).empty() && ReadControl("competitor.by") != "script";
}

volatile bool stopped = false;

void KeepBusy() {
  volatile unsigned long long spin = 0;
  while (!stopped) spin = spin + 1;
  // The thread stays until the process ends: a system that counts only the times of
  // live threads still sees what it used.
  for (;;) Pause(1000);
}

/// The competitor's executable in the machine folder: "NAME.exe" on a Windows machine,
/// "NAME" on a POSIX one.
std::string CompetitorPath(const std::string& name) {
  const std::string windows = MachineFile(name + ".exe");
  return IsHostFile(windows) ? windows : MachineFile(name);
}

/// Waits until the host file exists, at most kLongest; false when it never came.
bool AwaitHostFile(const std::string& host) {
  const auto deadline = std::chrono::steady_clock::now() + kLongest;
  while (!IsHostFile(host)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    Pause(static_cast<int>(kLookEvery.count()));
  }
  return true;
}

}  // namespace

bool StartCompetitor() {
  if (!StartedByTimer()) return true;
  const std::string name = ReadControl(kCompetitorControl);
  for (const char* file : {kStopFile, kBusyFile, kCompetitorTimeFile}) {
    std::remove(MachineFile(file).c_str());
  }
  if (!StartDetached(CompetitorPath(name), MachineFile(kStopFile))) return false;
  // However slowly the competitor starts, it works beside the whole measured program.
  return AwaitHostFile(MachineFile(kBusyFile));
}

void StopCompetitor() {
  if (!StartedByTimer()) return;
  WriteHostFile(MachineFile(kStopFile), "stop\n");
  AwaitHostFile(MachineFile(kCompetitorTimeFile));
}

bool IsCompetitorRole(const std::string& role) {
  const std::string name = ReadControl(kCompetitorControl);
  return !name.empty() && LowerAscii(name) == role;
}

int RunCompetitor(const std::string& arguments) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i < ProcessorCount(); ++i) StartThread(KeepBusy);
  WriteHostFile(MachineFile(kBusyFile), "busy\n");
  // This thread is busy too: it only looks at the clock, and now and then for the file.
  auto nextLook = start;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start > kLongest) break;
    if (now < nextLook) continue;
    if (IsHostFile(arguments)) break;
    nextLook = now + kLookEvery;
  }
  stopped = true;
  const CpuTimes used = OwnCpuTimes();
  WriteHostFile(MachineFile(kCompetitorTimeFile),
                std::to_string(static_cast<long long>((used.user + used.kernel) * 1000)) + "\n");
  // Ended now, it would take its last part out of the process lists after the measurement.
  const std::string release = MachineFile(kHoldsReleaseFile);
  while (!IsHostFile(release) && std::chrono::steady_clock::now() - start < kLongest) {
    Pause(static_cast<int>(kLookEvery.count()));
  }
  return 0;
}
