// The nnCron automation manager stand-in: portable through the platform layer and
// host_access.h.
#include "automation.h"

#include <chrono>
#include <cstdio>

#include "command_text.h"
#include "host_access.h"
#include "platform/process.h"
#include "script_files.h"
#include "standin_files.h"

namespace {

constexpr int kPollMilliseconds = 50;

using Deadline = std::chrono::steady_clock::time_point;

bool AwaitFile(const std::string& host, Deadline deadline) {
  while (!IsHostFile(host)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    Pause(kPollMilliseconds);
  }
  return true;
}

/// Removes a file that was waited for.
void TakeFile(const std::string& host, Deadline deadline) {
  // The encoder may still be writing it; on Windows it cannot be deleted until then.
  while (std::remove(host.c_str()) != 0 && IsHostFile(host) &&
         std::chrono::steady_clock::now() < deadline) {
    Pause(kPollMilliseconds);
  }
}

int RunSteps(const std::vector<AutomationStep>& steps, size_t first,
             const std::string& scriptDirectory) {
  const std::string markerHost = HostPath(kMarkerFile);
  for (size_t i = first; i < steps.size(); ++i) {
    const AutomationStep& step = steps[i];
    switch (step.kind) {
      case AutomationStep::Kind::CreateMarker:
        WriteHostFile(markerHost, "nnCron\r\n");
        break;
      case AutomationStep::Kind::RemoveMarker:
        std::remove(markerHost.c_str());
        break;
      case AutomationStep::Kind::WaitForFile: {
        const std::string host = HostPath(JoinWindowsPath(scriptDirectory, step.text));
        const Deadline deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(step.milliseconds);
        if (!AwaitFile(host, deadline)) {
          std::fprintf(stderr, "nncron: gave up waiting for \"%s\"\n", step.text.c_str());
          return 1;
        }
        // An encoder that signals ends only once its signal is taken or the marker is
        // gone (encoders.h). A marker removal that follows goes before the signal is
        // taken, so the marker is gone before the measured program ends, however late
        // this process runs.
        if (i + 1 < steps.size() && steps[i + 1].kind == AutomationStep::Kind::RemoveMarker) {
          std::remove(markerHost.c_str());
          ++i;
        }
        TakeFile(host, deadline);
        break;
      }
      case AutomationStep::Kind::Run: {
        const ProgramCall call = SplitProgramCall(
            step.text, [](const std::string& path) { return IsHostFile(HostPath(path)); });
        SetRunMode(RunMode::WaitForExit);
        if (RunProgram(ShortText(call.program), ShortText(call.arguments)) != 0) {
          std::fprintf(stderr, "nncron: cannot start \"%s\"\n", call.program.c_str());
          return 1;
        }
        break;
      }
      case AutomationStep::Kind::Pause:
        Pause(step.milliseconds);
        break;
    }
  }
  return 0;
}

}  // namespace

int RunNnCron(const std::string& arguments) {
  std::string_view text = TrimBlanks(arguments);
  constexpr std::string_view kRunFile = "-runfile";
  if (text.size() <= kRunFile.size() || LowerAscii(text.substr(0, kRunFile.size())) != kRunFile) {
    std::fprintf(stderr, "usage: nncron -runfile SCRIPT\n");
    return 1;
  }
  std::string scriptPath(TrimBlanks(text.substr(kRunFile.size())));
  if (scriptPath.size() >= 2 && scriptPath.front() == '"' && scriptPath.back() == '"') {
    scriptPath = scriptPath.substr(1, scriptPath.size() - 2);
  }
  std::string script;
  std::vector<AutomationStep> steps;
  std::string error;
  if (!ReadHostFile(HostPath(scriptPath), script)) {
    std::fprintf(stderr, "nncron: cannot read \"%s\"\n", scriptPath.c_str());
    return 1;
  }
  if (!ReadAutomationScript(script, steps, error)) {
    std::fprintf(stderr, "nncron: \"%s\": %s\n", scriptPath.c_str(), error.c_str());
    return 1;
  }
  // A file waited for belongs to this run only: one left by an earlier run must not
  // end a wait before the encoder has even started. Removed before the marker appears,
  // since the program starts the encoder only after it has seen the marker.
  for (const AutomationStep& step : steps) {
    if (step.kind == AutomationStep::Kind::WaitForFile) {
      std::remove(HostPath(JoinWindowsPath(DirectoryOf(scriptPath), step.text)).c_str());
    }
  }
  // The program looks for the marker once, 3000 ms after it started this process, and
  // its start returns only once the process runs (POSIX: after the exec; under Wine:
  // once its start-up has reached the Wine server). So the marker is the first file
  // written here, before the event record and the process id: the pause covers no
  // start of a process, only the loading of one that runs and these few file
  // operations.
  size_t first = 0;
  for (; first < steps.size() && steps[first].kind == AutomationStep::Kind::CreateMarker; ++first) {
    WriteHostFile(HostPath(kMarkerFile), "nnCron\r\n");
  }
  RecordEvent("nncron", arguments);
  const std::string pidFile = MachineFile("nncron.pid");
  WriteHostFile(pidFile, std::to_string(OwnProcessId()) + "\n");
  const int status = RunSteps(steps, first, DirectoryOf(scriptPath));
  // Leave the id only while it is still ours: a later instance may have replaced it.
  std::string current;
  if (ReadHostFile(pidFile, current) && current == std::to_string(OwnProcessId()) + "\n") {
    std::remove(pidFile.c_str());
  }
  return status;
}
