// The stand-in encoders: portable through the platform layer and host_access.h.
#include "encoders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "automation.h"
#include "clip_work.h"
#include "command_text.h"
#include "host_access.h"
#include "platform/process.h"
#include "standin_files.h"

namespace {

// A whole argument text taken as one path: trimmed, surrounding quotes dropped.
std::string PathOfText(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

bool ReadJobFile(const std::string& path, EncoderJob& job) {
  std::string text;
  std::string error;
  if (!ReadHostFile(HostPath(path), text)) {
    std::fprintf(stderr, "cannot read the job \"%s\"\n", path.c_str());
    return false;
  }
  if (!ReadEncoderJob(text, job, error)) {
    std::fprintf(stderr, "bad job \"%s\": %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

/// Waits until the automation script has taken the signal file, while the script's
/// marker is there. The script takes its marker away first (automation.h), so the
/// encoder ends only after the marker is gone: the program, which looks for the
/// marker after the measured program has ended, never sees the marker of a script
/// that is done, however late that script runs. No marker, no script to wait for; a
/// marker left by a script that is gone ends the wait after a minute.
void AwaitSignalTaken(const std::string& signalHost) {
  const std::string markerHost = HostPath(kMarkerFile);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (IsHostFile(signalHost) && IsHostFile(markerHost) &&
         std::chrono::steady_clock::now() < deadline) {
    Pause(20);
  }
}

// The file name with its extension replaced.
std::string WithExtension(const std::string& path, const std::string& extension) {
  size_t dot = path.find_last_of('.');
  const size_t separator = path.find_last_of("\\/");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) {
    dot = path.size();
  }
  return path.substr(0, dot) + extension;
}

}  // namespace

int RunEncoderJob(const EncoderJob& job, const std::string& source,
                  const std::string& outputDirectory, const std::string& signalDirectory) {
  const std::string sourceHost = HostPath(source);
  if (!IsHostFile(sourceHost)) {
    std::fprintf(stderr, "cannot open the source \"%s\"\n", source.c_str());
    return 1;
  }
  std::string tempHost;
  if (!job.tempName.empty()) {
    tempHost = HostPath(JoinWindowsPath(outputDirectory, job.tempName));
    WriteSparseHostFile(tempHost, job.tempSize, "temporary\r\n");
  }
  uint64_t digest = 0;
  for (int pass = 0; pass < job.passes; ++pass) {
    if (!WorkOverFile(sourceHost, job.rounds, digest)) {
      std::fprintf(stderr, "cannot read the source \"%s\"\n", source.c_str());
      return 1;
    }
  }
  if (!tempHost.empty()) std::remove(tempHost.c_str());

  const std::string head =
      "testbed output of " + source + ", digest " + DigestText(digest) + "\r\n";
  int status = 0;
  for (const EncoderOutput& output : job.outputs) {
    const std::string host = HostPath(JoinWindowsPath(outputDirectory, output.name));
    if (!WriteSparseHostFile(host, output.size, head)) {
      std::fprintf(stderr, "cannot write \"%s\"\n", output.name.c_str());
      status = 1;
      continue;
    }
    if (output.holdMilliseconds > 0) HoldOpenInBackground(host, output.holdMilliseconds);
  }
  if (!job.signal.empty()) {
    const std::string signalHost = HostPath(JoinWindowsPath(signalDirectory, job.signal));
    WriteHostFile(signalHost, "done\r\n");
    AwaitSignalTaken(signalHost);
  }
  return status;
}

int RunVirtualDub(const std::string& arguments) {
  std::string_view text = TrimBlanks(arguments);
  const std::string lowered = LowerAscii(text);
  if (lowered.size() < 3 || lowered.compare(0, 2, "/s") != 0) {
    std::fprintf(stderr, "usage: vdubm /sJOB /x\n");
    return 1;
  }
  text.remove_prefix(2);
  // "/x" closes the program when the job is done; the stand-in always ends then.
  if (text.size() >= 3 && LowerAscii(text.substr(text.size() - 3)) == " /x") {
    text.remove_suffix(3);
  }
  const std::string jobPath = PathOfText(text);
  EncoderJob job;
  if (!ReadJobFile(jobPath, job)) return 1;
  return RunEncoderJob(job, job.source, std::string(), DirectoryOf(jobPath));
}

int RunMainconcept(const std::string& arguments) {
  const std::string settingsPath = PathOfText(arguments);
  EncoderJob job;
  if (settingsPath.empty() || !ReadJobFile(settingsPath, job)) return 1;
  return RunEncoderJob(job, job.source, std::string(), DirectoryOf(settingsPath));
}

int RunProCoder(const std::string& programPath, const std::string& arguments) {
  const std::vector<std::string> items = SplitArguments(arguments);
  std::string preset = "fdst_highest";
  std::string source;
  for (size_t i = 0; i < items.size(); ++i) {
    if (LowerAscii(items[i]) == "/preset" && i + 1 < items.size()) {
      preset = items[++i];
    } else {
      source = items[i];
    }
  }
  if (source.empty()) {
    std::fprintf(stderr, "usage: procoder [/preset NAME] SOURCE\n");
    return 1;
  }
  const std::string home = DirectoryOf(programPath);
  EncoderJob job;
  if (!ReadJobFile(JoinWindowsPath(home, "Plugins\\User Presets\\" + preset + ".cpf"), job)) {
    return 1;
  }
  return RunEncoderJob(job, source, home, home);
}

int RunCinemaCraft(const std::string& arguments) {
  const std::string source = PathOfText(arguments);
  RegistryContents settings;
  if (source.empty() || !LoadRegistryKey(kCinemaCraftKey, settings)) {
    std::fprintf(stderr, "no settings: the encoder was never set up\n");
    return 1;
  }
  const auto number = [&](const char* name, uint32_t fallback) {
    uint32_t value = fallback;
    FindRegistryNumber(settings, kCinemaCraftKey, name, value);
    return value;
  };
  EncoderJob job;
  job.passes = std::max(1, static_cast<int>(number("Passes", 1)));
  job.rounds = static_cast<int>(number("Rounds", 1));
  uint32_t size = 0;
  if (FindRegistryNumber(settings, kCinemaCraftKey, "VafSize", size)) {
    job.outputs.push_back(EncoderOutput{WithExtension(source, ".vaf"), size, 0});
  }
  if (FindRegistryNumber(settings, kCinemaCraftKey, "MpvSize", size)) {
    job.outputs.push_back(
        EncoderOutput{WithExtension(source, ".mpv"), size, static_cast<int>(number("HoldMpv", 0))});
  }
  // The automation script waits for this file to learn that the encoding is done.
  FindRegistryString(settings, kCinemaCraftKey, "DoneFile", job.signal);
  return RunEncoderJob(job, source, std::string(), std::string());
}
