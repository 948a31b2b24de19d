// The environment analysis: what the machine offers, and which tests may run on it.
#include "run/analysis.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "logs/activity_ledger.h"
#include "packs/file_checks.h"
#include "packs/test_pack.h"
#include "platform/console.h"
#include "platform/directories.h"
#include "platform/disk.h"
#include "platform/io_result.h"
#include "platform/process.h"
#include "platform/raw_file.h"
#include "platform/short_text.h"
#include "platform/text_file.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"
#include "run/run_state.h"
#include "tests/automation.h"
#include "tests/test_id.h"
#include "tests/test_table.h"

namespace {

constexpr int kProbeLabelWidth = 36;
constexpr int kTestLabelWidth = 19;
constexpr int kHeadingRuleLength = 37;

constexpr char kAnalysisHeading[] = "Analyzing external software and files";
constexpr char kEligibilityHeading[] = "Analyzing tests execution possibility";

constexpr char kFound[] = "found";
constexpr char kNotFound[] = "NOT FOUND";
constexpr char kPartial[] = "partial";
constexpr char kOriginal[] = "original";
constexpr char kUnofficial[] = "unofficial";
constexpr char kOsAccepted[] = "Windows 2000 or later";
constexpr char kOsRejected[] = "UNSUPPORTED";
constexpr char kEnabled[] = "enabled";
constexpr char kDisabled[] = "DISABLED";

constexpr char kOsLabel[] = "Operation System";
constexpr char kAcceptedOs[] = "Windows_NT";
constexpr char kDriveCLabel[] = "Logical drive C:";
constexpr char kDriveCRoot[] = "C:\\";
constexpr char kSystemDirAfterWindir[] = "\\system32";

constexpr int kCurrentDrive = 0;
constexpr int kDriveC = 3;

using Flag = bool RunState::*;

/// A source clip: its presence line and its free-space line.
struct ClipProbe {
  std::string_view sourceLabel;
  std::string_view spaceLabel;
  std::string_view file;
  int32_t referenceSize;
  Flag found;
  Flag exactSize;
  Flag spaceOnC;
  Flag spaceOnTestDrive;
  const char* cannotOpen;  ///< the fatal message when the clip is present but locked
};

constexpr std::array<ClipProbe, 2> kClipProbes = {{
    {"Source file for DVD rip tests", "Free space for DVD rip tests", "test.mpg",
     ReferenceSizes.testMpg, &RunState::mpgFound, &RunState::mpgExactSize, &RunState::dvdSpaceOnC,
     &RunState::dvdSpaceOnTestDrive, kFatal028TestMpgNotOpened},
    {"Source file for MPEG2 tests", "Free space for MPEG2 tests", "test.avi",
     ReferenceSizes.testAvi, &RunState::aviFound, &RunState::aviExactSize, &RunState::mpeg2SpaceOnC,
     &RunState::mpeg2SpaceOnTestDrive, kFatal029TestAviNotOpened},
}};

/// A file in the system directory; size 0 accepts any size.
struct SystemFileProbe {
  std::string_view label;
  std::string_view file;
  int32_t size;
  Flag found;
};

constexpr std::array<SystemFileProbe, 4> kSystemFileProbes = {{
    {"DivX 5.1.1 AdWare", "divx.dll", ReferenceSizes.divxCodec, &RunState::divxCodecFound},
    {"XviD 1.0 beta 2 (Trennel build)", "xvid.dll", ReferenceSizes.xvidCodec,
     &RunState::xvidCodecFound},
    {"Windows Media 9 VCM", "wmv9vcm.dll", ReferenceSizes.wmv9Codec, &RunState::wmv9CodecFound},
    {"Apple QuickTime", "quicktime.cpl", 0, &RunState::quickTimeFound},
}};

/// A program looked for on every drive; size 0 accepts any size.
struct ProgramProbe {
  std::string_view label;
  std::string_view file;
  int32_t size;
  Flag found;
  ShortText RunState::*dir;
};

constexpr std::array<ProgramProbe, 4> kProgramProbes = {{
    {"Mainconcept MPEG Encoder 1.4.0", "mcmpgenc.exe", ReferenceSizes.mainconceptEncoder,
     &RunState::mainconceptFound, &RunState::mainconceptDir},
    {"Canopus ProCoder Demo 1.25.15.0", "procoder.exe", ReferenceSizes.procoderEncoder,
     &RunState::procoderFound, &RunState::procoderDir},
    {"Cinema Craft Encoder SP 2.67 Trial", "cctspt.exe", ReferenceSizes.cceEncoder,
     &RunState::cceFound, &RunState::cceDir},
    {"nnCron Automation Manager", "nncron.exe", 0, &RunState::nncronFound, &RunState::nncronDir},
}};

/// What one test needs; every flag listed must be true (the entries after the list
/// stay empty).
struct EligibilityRule {
  std::string_view label;
  std::array<Flag, 6> needs;
};

/// Indexed by TestIndex. WMV9 and MPEG2/Canopus write into the scratch directory on
/// drive C:, so they need drive C: and its free space; the others need the free
/// space of the start directory's drive.
constexpr std::array<EligibilityRule, kTestCount> kEligibilityRules = {{
    {"DivX  encoding",
     {&RunState::mpgFound, &RunState::divxCodecFound, &RunState::dvdSpaceOnTestDrive}},
    {"XviD  encoding",
     {&RunState::mpgFound, &RunState::xvidCodecFound, &RunState::dvdSpaceOnTestDrive}},
    {"WMV9  encoding",
     {&RunState::mpgFound, &RunState::wmv9CodecFound, &RunState::dvdSpaceOnC,
      &RunState::driveCFound}},
    {"MPEG1 encoding",
     {&RunState::mpgFound, &RunState::mainconceptFound, &RunState::dvdSpaceOnTestDrive,
      &RunState::nncronFound}},
    {"MPEG2/Mainconcept",
     {&RunState::aviFound, &RunState::mainconceptFound, &RunState::mpeg2SpaceOnTestDrive,
      &RunState::nncronFound}},
    {"MPEG2/Canopus",
     {&RunState::aviFound, &RunState::procoderFound, &RunState::mpeg2SpaceOnC,
      &RunState::nncronFound, &RunState::quickTimeFound, &RunState::driveCFound}},
    {"MPEG2/CCE SP",
     {&RunState::aviFound, &RunState::cceFound, &RunState::mpeg2SpaceOnTestDrive,
      &RunState::nncronFound}},
}};

ShortText Repeated(char c, int count) {
  ShortText text;
  for (int i = 0; i < count; ++i) text += std::string_view(&c, 1);
  return text;
}

/// Writes the label filled with blanks to `width`, leaving the line open for the
/// result word; the label is on the screen while the probe runs.
void WriteLabel(std::string_view label, int width) {
  ShortText padded(label);
  padded += Repeated(' ', width - padded.length());
  ConsoleWrite(padded);
}

void WriteHeading(const char* title) {
  const ShortText rule = Repeated('-', kHeadingRuleLength);
  ConsoleWriteLine(rule);
  ConsoleWriteLine(title);
  ConsoleWriteLine(rule);
  ConsoleWriteLine();
}

const char* FoundWord(bool found) {
  return found ? kFound : kNotFound;
}

void ProbeOperatingSystem() {
  WriteLabel(kOsLabel, kProbeLabelWidth);
  // Both are compared as given: "windows_nt" is not accepted.
  runState.osSupported = GetEnvironmentValue("OS") == ShortText(kAcceptedOs) &&
                         !GetEnvironmentValue("APPDATA").empty();
  ConsoleWriteLine(runState.osSupported ? kOsAccepted : kOsRejected);
}

void ProbeDriveC() {
  WriteLabel(kDriveCLabel, kProbeLabelWidth);
  runState.driveCFound = ChangeDirectory(kDriveCRoot);
  // Back to the start directory in any case: from here on the current drive is the
  // start directory's drive, which the free-space probes ask for.
  ChangeDirectory(runState.startDir);
  ConsoleWriteLine(FoundWord(runState.driveCFound));
}

void ProbeClipPresence(const ClipProbe& clip) {
  WriteLabel(clip.sourceLabel, kProbeLabelWidth);
  runState.*clip.found = CheckFile(ShortText(), ShortText(clip.file), 0);
  runState.*clip.exactSize = CheckFile(ShortText(), ShortText(clip.file), clip.referenceSize);
  const char* word = kNotFound;
  if (runState.*clip.found) word = runState.*clip.exactSize ? kOriginal : kUnofficial;
  ConsoleWriteLine(word);
}

void ProbeClipSpace(const ClipProbe& clip) {
  WriteLabel(clip.spaceLabel, kProbeLabelWidth);
  // A code that an earlier operation left pending must not pass for this open's.
  TakeIoResult();
  RawFile file;
  OpenForReading(file, ShortText(clip.file));
  if (TakeIoResult() != 0) FatalError(clip.cannotOpen);
  const int32_t length = FileLength(file);
  // A failed query gives -1, which is never more than a length; so is an equal amount.
  runState.*clip.spaceOnC = FreeDiskBytes(kDriveC) > length;
  runState.*clip.spaceOnTestDrive = FreeDiskBytes(kCurrentDrive) > length;
  CloseFile(file);
  TakeIoResult();
  const bool onC = runState.*clip.spaceOnC;
  const bool onTestDrive = runState.*clip.spaceOnTestDrive;
  ConsoleWriteLine(onC && onTestDrive ? kFound : (onC || onTestDrive ? kPartial : kNotFound));
}

void ProbeSystemFile(const ShortText& systemDir, const SystemFileProbe& probe) {
  WriteLabel(probe.label, kProbeLabelWidth);
  runState.*probe.found = CheckFile(systemDir, ShortText(probe.file), probe.size);
  ConsoleWriteLine(FoundWord(runState.*probe.found));
}

void ProbeProgram(const ProgramProbe& probe) {
  WriteLabel(probe.label, kProbeLabelWidth);
  runState.*probe.dir = FindProgramOnDrives(ShortText(probe.file), probe.size);
  runState.*probe.found = !(runState.*probe.dir).empty();
  ConsoleWriteLine(FoundWord(runState.*probe.found));
}

void WriteAnalysisReport() {
  WriteHeading(kAnalysisHeading);
  ProbeOperatingSystem();
  ProbeDriveC();
  for (const ClipProbe& clip : kClipProbes) {
    ProbeClipPresence(clip);
    if (runState.*clip.found) ProbeClipSpace(clip);
  }
  // Read when the probes run, not at start-up.
  const ShortText systemDir = GetEnvironmentValue("WINDIR") + kSystemDirAfterWindir;
  for (const SystemFileProbe& probe : kSystemFileProbes) ProbeSystemFile(systemDir, probe);
  for (const ProgramProbe& probe : kProgramProbes) ProbeProgram(probe);
  ConsoleWriteLine();
}

bool MeetsRule(const EligibilityRule& rule) {
  for (Flag need : rule.needs) {
    if (need != nullptr && !(runState.*need)) return false;
  }
  return true;
}

void WriteEligibilityReport() {
  WriteHeading(kEligibilityHeading);
  if (!runState.osSupported) FatalError(kFatal030OsNotSupported);
  if (!runState.mpgFound && !runState.aviFound) FatalError(kFatal031NoSourceClip);
  for (size_t i = 0; i < kEligibilityRules.size(); ++i) {
    const EligibilityRule& rule = kEligibilityRules[i];
    WriteLabel(rule.label, kTestLabelWidth);
    runState.testEnabled[i] = MeetsRule(rule);
    ConsoleWriteLine(runState.testEnabled[i] ? kEnabled : kDisabled);
  }
  ConsoleWriteLine();
}

}  // namespace

void AnalyzeEnvironment() {
  WriteAnalysisReport();
  WriteEligibilityReport();
}

int ListFilesOfTheRun(ShortText* names, int capacity) {
  int count = 0;
  const auto add = [&](const ShortText& name) {
    if (count < capacity && !name.empty()) {
      names[count++] = FullWindowsPath(name, runState.startDir);
    }
  };
  for (const ClipProbe& clip : kClipProbes) add(ShortText(clip.file));
  for (const TestDefinition& test : kTestDefinitions) {
    add(runState.startDir + kPackDirectoryAfterStart + "\\" + ShortText(test.pack));
  }
  add(kMarkerFile);
  const ShortText systemDir = GetEnvironmentValue("WINDIR") + kSystemDirAfterWindir;
  for (const SystemFileProbe& probe : kSystemFileProbes) {
    add(systemDir + "\\" + ShortText(probe.file));
  }
  for (const ProgramProbe& probe : kProgramProbes) {
    if (!(runState.*probe.dir).empty()) add(runState.*probe.dir + ShortText(probe.file));
  }
  if (!runState.procoderDir.empty()) {
    add(runState.procoderDir + kProfileDirAfterProcoder + kProfileAfterProfileDir);
  }
  add(runState.comSpec);
  return count;
}
