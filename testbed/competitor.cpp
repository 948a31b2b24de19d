// A busy program beside the measured encoder: portable through host_access.h.
#include "competitor.h"

#include <chrono>
#include <cstdio>

#include "command_text.h"
#include "host_access.h"
#include "standin_files.h"

namespace {

constexpr char kStopFile[] = "competitor.stop";
constexpr auto kLookEvery = std::chrono::milliseconds(50);
constexpr auto kLongest = std::chrono::seconds(60);

volatile bool stopped = false;

void KeepBusy() {
  volatile unsigned long long spin = 0;
  while (!stopped) spin = spin + 1;
}

/// The competitor's executable in the machine folder: "NAME.exe" on a Windows machine,
/// "NAME" on a POSIX one.
std::string CompetitorPath(const std::string& name) {
  const std::string windows = MachineFile(name + ".exe");
  return IsHostFile(windows) ? windows : MachineFile(name);
}

}  // namespace

bool StartCompetitor() {
  const std::string name = ReadControl(kCompetitorControl);
  if (name.empty()) return true;
  const std::string stop = MachineFile(kStopFile);
  std::remove(stop.c_str());
  return StartDetached(CompetitorPath(name), stop);
}

void StopCompetitor() {
  if (ReadControl(kCompetitorControl).empty()) return;
  WriteHostFile(MachineFile(kStopFile), "stop\n");
}

bool IsCompetitorRole(const std::string& role) {
  const std::string name = ReadControl(kCompetitorControl);
  return !name.empty() && LowerAscii(name) == role;
}

int RunCompetitor(const std::string& arguments) {
  for (int i = 1; i < ProcessorCount(); ++i) StartThread(KeepBusy);
  // This thread is busy too: it only looks at the clock, and now and then for the file.
  const auto start = std::chrono::steady_clock::now();
  auto nextLook = start;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start > kLongest) break;
    if (now < nextLook) continue;
    if (IsHostFile(arguments)) break;
    nextLook = now + kLookEvery;
  }
  stopped = true;
  return 0;
}
