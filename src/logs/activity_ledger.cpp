// The activity ledger.
#include "logs/activity_ledger.h"

#include <algorithm>
#include <string_view>

#include "logs/activity_tally.h"
#include "logs/ledger_format.h"
#include "logs/main_log.h"
#include "logs/timing_log.h"
#include "platform/console.h"
#include "platform/control_bytes.h"
#include "platform/directories.h"
#include "platform/disk.h"
#include "platform/file_facts.h"
#include "platform/io_result.h"
#include "platform/machine_figures.h"
#include "platform/process.h"
#include "platform/process_snapshot.h"
#include "platform/text_file.h"
#include "run/cleanup.h"
#include "run/fatal_error.h"
#include "run/run_state.h"

namespace {

constexpr int kSnapshotIntervalMs = 500;
/// Every 30th snapshot of a measurement (every 15 s) reads every process: on a crowded
/// machine that reading is most of what the ledger costs.
constexpr int kTicksPerFullReading = 30;
constexpr int kMaxNotes = 8;
constexpr char kNotWritten[] = "Activity ledger not written: ";
constexpr char kRefused[] = "Activity ledger refused, a file of the run itself: ";
constexpr char kRefusedLink[] = "Activity ledger refused, a symbolic link: ";
constexpr char kRefusedNotLedger[] = "Activity ledger refused, not a ledger: ";
/// The bytes of an existing ledger read to tell how its next block joins it.
constexpr int kTailBytes = 3;
constexpr char kBusiest[] = "-- busiest other program: ";
constexpr char kClockReduced[] = "-- processor clock reduced during ";

/// Everything the ledger keeps between its calls.
struct Ledger {
  bool on = false;
  ShortText path;  ///< full Windows path
  ShortText
      failure;  ///< the console line of why a block was not written; empty while all went well
  bool refused = false;  ///< the failure is a refusal
  RunFileLister moreRunFiles = nullptr;

  bool testOpen = false;
  TestId test = TestId::DivX;
  ShortText start;
  ShortText testLog;
  int noteCount = 0;
  ShortText notes[kMaxNotes];
  ActivitySummary activity;
  ShortText encodingTime;
  ShortText processFigure;
};

Ledger ledger;
ProcessSnapshot snapshot;
ActivityTally tally;

void TakeSnapshot(SnapshotReading reading) {
  if (TakeProcessSnapshot(snapshot, reading)) {
    AddSnapshot(tally, snapshot);
  } else {
    AddFailedSnapshot(tally);
  }
}

/// One snapshot while the measured program runs: every process now and then, in
/// between only the busy ones, which is what the machine's sleeping processes cost.
/// Counted from the measurement's first snapshot, which reads every process.
void TakeTickSnapshot() {
  TakeSnapshot(tally.snapshots % kTicksPerFullReading == 0 ? SnapshotReading::Every
                                                           : SnapshotReading::Active);
}

void WriteEntry(TextFile& file, std::string_view key, const ShortText& value) {
  WriteText(file, ShortText(key) + "=");
  WriteLine(file, value);
}

void WriteEntry(TextFile& file, std::string_view key, int64_t value) {
  WriteEntry(file, key, NumberToText(value));
}

/// The files of the run: the main log, the test outputs and the pack contents, then
/// what the caller names. The count.
int ListRunFiles(ShortText (&names)[kMaxRunFiles]) {
  int count = 0;
  const auto add = [&](const ShortText& name, const ShortText& base) {
    if (count < kMaxRunFiles) names[count++] = FullWindowsPath(name, base);
  };
  add(kMainLogName, runState.startDir);
  for (std::string_view name : kTestOutputNames) add(ShortText(name), runState.startDir);
  if (!runState.tempDir.empty()) {
    const ShortText work = FullWindowsPath(runState.tempDir, runState.startDir);
    for (std::string_view name : kPackContentNames) add(ShortText(name), work);
  }
  if (ledger.moreRunFiles != nullptr) {
    count += ledger.moreRunFiles(names + count, kMaxRunFiles - count);
  }
  return count;
}

/// Where the last part of a full path begins, 0-based.
int LastPartStart(const ShortText& fullPath) {
  int start = fullPath.length();
  while (start > 0 && fullPath[start - 1] != '\\') --start;
  return start;
}

/// The folder part of a full path, "X:\\" for the root.
ShortText FolderOf(const ShortText& fullPath) {
  const int start = LastPartStart(fullPath);
  return Substring(fullPath, 1, start > 3 ? start - 1 : start);
}

ShortText LastPartOf(const ShortText& fullPath) {
  return ShortText(Slice(fullPath.view(), static_cast<size_t>(LastPartStart(fullPath))));
}

/// Whether two folders are one: by identity, or by name when either is missing.
bool SameFolder(const ShortText& a, const ShortText& b) {
  FileFacts first, second;
  if (ReadFileFacts(a.view(), first) && ReadFileFacts(b.view(), second))
    return SameFile(first, second);
  return SameIgnoringCase(a.view(), b.view());
}

/// Whether the ledger's name, before it is opened, leads to a file of the run: the
/// same name in the same folder, however the folder is reached, or the scratch
/// directory.
bool NamesARunFile(const ShortText* names, int count) {
  if (LedgerNameRefused(ledger.path, runState.startDir, runState.tempDir)) return true;
  const ShortText folder = FolderOf(ledger.path);
  const ShortText name = LastPartOf(ledger.path);
  if (SameFolder(folder, FullWindowsPath(kScratchDirectory, runState.startDir))) return true;
  for (int i = 0; i < count; ++i) {
    if (SameIgnoringCase(LastPartOf(names[i]).view(), name.view()) &&
        SameFolder(FolderOf(names[i]), folder)) {
      return true;
    }
  }
  return false;
}

/// Whether the open ledger is one of the run's existing files.
bool IsARunFile(const TextFile& file, const ShortText* names, int count) {
  FileFacts self;
  if (!ReadOpenFileFacts(file, self)) return false;
  for (int i = 0; i < count; ++i) {
    FileFacts other;
    if (ReadFileFacts(names[i].view(), other) && SameFile(self, other)) return true;
  }
  return false;
}

/// Whether an existing ledger of `size` bytes begins with the version line, and how
/// its next block joins it. False for a file that is not a ledger.
bool ReadJoint(TextFile& file, int64_t size, ShortText& joint) {
  const std::string_view version = kLedgerVersionLine;
  char head[sizeof kLedgerVersionLine + 1];
  const int32_t got = ReadBackText(file, 0, head, static_cast<int32_t>(sizeof head));
  const std::string_view start(head, got < 0 ? 0 : static_cast<size_t>(got));
  const std::string_view after = Slice(start, version.size());
  if (Slice(start, 0, version.size()) != version ||
      !(after.empty() || after[0] == '\n' || Slice(after, 0, 2) == "\r\n")) {
    return false;
  }
  char tail[kTailBytes];
  const int64_t from = size > kTailBytes ? size - kTailBytes : 0;
  const int32_t last = ReadBackText(file, from, tail, static_cast<int32_t>(size - from));
  joint = LedgerJoint(std::string_view(tail, last < 0 ? 0 : static_cast<size_t>(last)), size);
  return true;
}

/// Appends one block through `writeLines`, creating the file with its version line
/// when missing or empty, after making sure that the ledger is no file of the run, no
/// link and no other file. A failed block is taken back; a new file whose first block
/// fails is removed. Empty, or the console line of why the block is not in the file
/// (`refused` tells a refusal).
ShortText AppendBlock(void (*writeLines)(TextFile&), bool& refused) {
  // The caller may have a failure pending that is none of the ledger's business; it
  // stays pending for the caller afterwards.
  const int32_t pending = TakeIoResult();
  ShortText names[kMaxRunFiles];
  const int count = ListRunFiles(names);
  refused = true;
  ShortText reason = ShortText(kRefused) + ledger.path;
  TextFile file;
  bool created = false;
  if (!NamesARunFile(names, count)) {
    OpenOrCreateTextForAppend(file, ledger.path, created);
    int32_t opened = TakeIoResult();
    const int64_t blockStart = opened == 0 ? TextFileLength(file) : -1;
    if (opened == 0 && blockStart < 0) {
      opened = TakeIoResult();
      TakeBackAppend(file, ledger.path, -1);
    }
    if (opened == kIoSymbolicLink) {
      reason = ShortText(kRefusedLink) + ledger.path;
    } else if (opened != 0) {
      refused = false;
      reason = ShortText(kNotWritten) + (created ? "cannot create " : "cannot open ") + ledger.path;
    } else if (IsARunFile(file, names, count)) {
      // A name the system reads as a file of the run (a short name, a trailing dot, a
      // stream): what this open created is that file, and goes again.
      CloseText(file);
      if (created) RemoveFile(ledger.path);
      TakeIoResult();
    } else {
      ShortText joint;
      if (blockStart == 0) {
        joint = ShortText(kLedgerVersionLine) + "\r\n";
      } else if (!ReadJoint(file, blockStart, joint)) {
        reason = ShortText(kRefusedNotLedger) + ledger.path;
        CloseText(file);
      }
      TakeIoResult();
      if (file.state != TextFileState::Closed) {
        refused = false;
        reason = ShortText();
        WriteText(file, joint);
        writeLines(file);
        const bool written = TakeIoResult() == 0;
        if (written) CloseText(file);
        if (!written || TakeIoResult() != 0) {
          TakeBackAppend(file, ledger.path, blockStart);
          if (created) RemoveFile(ledger.path);
          TakeIoResult();
          reason = ShortText(kNotWritten) + "cannot write " + ledger.path;
        }
      }
    }
  }
  if (pending != 0) SetIoResult(pending);
  return reason;
}

/// Appends a block; the first failure is kept for the notice, and stops the ledger, so
/// that the rest of the run waits and measures as it would without it.
void AppendOrStop(void (*writeLines)(TextFile&)) {
  const ShortText reason = AppendBlock(writeLines, ledger.refused);
  if (reason.empty()) return;
  ledger.failure = reason;
  ledger.on = false;
}

/// The drive letter of a full path, 'C' for anything else.
char DriveOf(const ShortText& fullPath) {
  return fullPath.length() >= 2 && fullPath[1] == ':' ? UpperAscii(fullPath[0]) : 'C';
}

void WriteMachineLines(TextFile& file) {
  const MachineFigures figures = ReadMachineFigures();
  WriteEntry(file, ledger_key::kBlock, kMachineBlock);
  WriteEntry(file, ledger_key::kProgram, kProgramVersion);
  WriteEntry(file, ledger_key::kRunStart, FormatTimestamp());
  WriteEntry(file, ledger_key::kOsName, figures.osName);
  WriteEntry(file, ledger_key::kOsVersion, figures.osVersion);
  WriteEntry(file, ledger_key::kOsBuild, figures.osBuild);
  WriteEntry(file, ledger_key::kCpuModel, figures.cpuModel);
  WriteEntry(file, ledger_key::kCpuCount, figures.cpuCount);
  WriteEntry(file, ledger_key::kCpuMhz, figures.cpuMhz);
  WriteEntry(file, ledger_key::kMemoryMib, figures.memoryMib);
  // Drive C:, the start directory's and the work directory's, each once, in order.
  bool used[26] = {};
  used['C' - 'A'] = true;
  for (const ShortText& path :
       {runState.startDir, FullWindowsPath(runState.tempDir, runState.startDir)}) {
    const char letter = DriveOf(path);
    if (letter >= 'A' && letter <= 'Z') used[letter - 'A'] = true;
  }
  for (int drive = 0; drive < 26; ++drive) {
    if (!used[drive]) continue;
    const char letter[] = {static_cast<char>('A' + drive), '\0'};
    WriteEntry(file, (ShortText(ledger_key::kFreeMibPrefix) + letter).view(),
               FreeDiskMebibytes(drive + 1));
  }
  const ShortText cpuCount = NumberToText(figures.cpuCount);
  const ShortText memoryMib = NumberToText(figures.memoryMib);
  const std::string_view hashed[kMachineIdFigures] = {
      figures.osName.view(),   figures.osVersion.view(), figures.osBuild.view(),
      figures.cpuModel.view(), cpuCount.view(),          memoryMib.view()};
  char machineId[17];
  FormatMachineId(hashed, machineId);
  WriteEntry(file, ledger_key::kMachineId, ShortText(machineId));
  WriteLine(file);
}

/// The outcome of the open test block, and the fatal code when a fatal error ended it.
const char* outcomeText = "";
ShortText fatalCode;

/// The option of a test without its dash: "divx".
ShortText TestName(TestId id) {
  const std::string_view option = DefinitionOf(static_cast<SelectionCode>(id)).option;
  return ShortText(Slice(option, 1));
}

/// The lines of the measurement's account; none when it was not measured.
void WriteMeasurementLines(TextFile& file, const ActivitySummary& activity) {
  if (!activity.measured) return;
  WriteEntry(
      file, ledger_key::kBusyPercent,
      NumberToText(activity.busyPermille / 10) + "." + NumberToText(activity.busyPermille % 10));
  for (int i = 0; i < activity.topCount; ++i) {
    const ShortText prefix = ShortText(ledger_key::kOtherPrefix) + NumberToText(i + 1);
    WriteEntry(file, (prefix + ledger_key::kOtherName).view(), ShortText(activity.top[i].name));
    WriteEntry(file, (prefix + ledger_key::kOtherPid).view(),
               static_cast<int64_t>(activity.top[i].id));
    WriteEntry(file, (prefix + ledger_key::kOtherCpuMs).view(),
               static_cast<int64_t>(activity.top[i].cpuMs));
  }
  WriteEntry(file, ledger_key::kUnnamedCpuMs, static_cast<int64_t>(activity.unnamedCpuMs));
  WriteEntry(file, ledger_key::kProcessesSeen, activity.processesSeen);
  WriteEntry(file, ledger_key::kProcessesFollowed, activity.processesFollowed);
  if (activity.clockKnown) {
    WriteEntry(file, ledger_key::kClockNominalMhz, activity.nominalMhz);
    if (activity.lowestMhz > 0) {
      WriteEntry(file, ledger_key::kClockLowestMhz, activity.lowestMhz);
      WriteEntry(file, ledger_key::kClockMeanMhz, activity.meanMhz);
      WriteEntry(file, ledger_key::kClockHighestMhz, activity.highestMhz);
    }
    WriteEntry(file, ledger_key::kClockReducedPercent, activity.clockReducedPercent);
  }
  if (activity.throttleEvents >= 0) {
    WriteEntry(file, ledger_key::kThrottleEvents, activity.throttleEvents);
  }
  if (activity.peakMemoryKib > 0) {
    WriteEntry(file, ledger_key::kPeakMemoryKib, static_cast<int64_t>(activity.peakMemoryKib));
  }
  // What the ledger missed is its own shortcoming, never the measured program's.
  if (activity.incomplete) WriteEntry(file, ledger_key::kLedgerIncomplete, "yes");
}

void WriteTestLines(TextFile& file) {
  WriteEntry(file, ledger_key::kBlock, kTestBlock);
  WriteEntry(file, ledger_key::kTest, TestName(ledger.test));
  WriteEntry(file, ledger_key::kStart, ledger.start);
  WriteEntry(file, ledger_key::kEnd, FormatTimestamp());
  WriteEntry(file, ledger_key::kOutcome, outcomeText);
  if (!fatalCode.empty()) WriteEntry(file, ledger_key::kFatal, fatalCode);
  for (int i = 0; i < ledger.noteCount; ++i) WriteEntry(file, ledger_key::kNote, ledger.notes[i]);

  WriteEntry(file, ledger_key::kEncodingTime, ledger.encodingTime);
  WriteEntry(file, ledger_key::kProcessFigure, ledger.processFigure);

  WriteMeasurementLines(file, ledger.activity);
  WriteLine(file);
}

/// The test log's figures, read with the readers that never end the run from the start
/// directory, where the log lies; "missing" for what it lacks.
void ReadTestLogFigures() {
  const int32_t pending = TakeIoResult();
  ledger.encodingTime = "missing";
  ledger.processFigure = "missing";
  if (!ledger.testLog.empty()) {
    const ShortText log = runState.startDir + "\\" + ledger.testLog;
    const EncodingTimeRead time = ReadEncodingTimeFrom(log);
    if (time.outcome == TimingLogOutcome::Read) ledger.encodingTime = time.text;
    const ProcessFigureRead figure = ReadProcessFigureFrom(log);
    if (figure.outcome == TimingLogOutcome::Read) {
      ledger.processFigure = NumberToText(figure.figure);
    }
    TakeIoResult();
  }
  if (pending != 0) SetIoResult(pending);
}

void EndTest(const char* outcome, const ShortText& code) {
  if (!ledger.on || !ledger.testOpen) return;
  ReadTestLogFigures();
  outcomeText = outcome;
  fatalCode = code;
  AppendOrStop(WriteTestLines);
  ledger.testOpen = false;
}

void RecordFatalError(const ShortText& message) {
  const int blank = PositionOf(" ", message);
  EndTest(kOutcomeFatal, blank > 0 ? Substring(message, 1, blank - 1) : message);
}

}  // namespace

ShortText FullWindowsPath(const ShortText& path, const ShortText& base) {
  ShortText whole;
  if (path.length() >= 2 && path[1] == ':') {
    whole = path;
  } else if (path.length() >= 1 && (path[0] == '\\' || path[0] == '/')) {
    whole = Substring(base, 1, 2) + path;
  } else {
    whole = base + "\\" + path;
  }
  // The drive, then the parts, each after one "\".
  ShortText full = Substring(whole, 1, 2);
  const std::string_view rest = Slice(whole.view(), 2);
  size_t at = 0;
  while (at <= rest.size()) {
    size_t end = rest.find_first_of("\\/", at);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = Slice(rest, at, end - at);
    if (part == "..") {
      // Back to the previous "\", never past the drive.
      int cut = full.length();
      while (cut > 2 && full[cut - 1] != '\\') --cut;
      full = Substring(full, 1, cut > 2 ? cut - 1 : 2);
    } else if (!part.empty() && part != ".") {
      full += std::string_view("\\");
      full += part;
    }
    at = end + 1;
  }
  return full.length() == 2 ? full + "\\" : full;
}

bool LedgerNameRefused(const ShortText& fullPath, const ShortText& startDir,
                       const ShortText& tempDir) {
  const auto same = [](const ShortText& a, const ShortText& b) {
    return SameIgnoringCase(a.view(), b.view());
  };
  if (same(fullPath, FullWindowsPath(kMainLogName, startDir))) return true;
  for (std::string_view name : kTestOutputNames) {
    if (same(fullPath, FullWindowsPath(ShortText(name), startDir))) return true;
  }
  if (!tempDir.empty()) {
    const ShortText work = FullWindowsPath(tempDir, startDir);
    for (std::string_view name : kPackContentNames) {
      if (same(fullPath, FullWindowsPath(ShortText(name), work))) return true;
    }
  }
  // The scratch directory goes with everything in it.
  const ShortText scratch = FullWindowsPath(kScratchDirectory, startDir);
  return same(Substring(fullPath, 1, scratch.length()), scratch) &&
         (fullPath.length() == scratch.length() || fullPath[scratch.length()] == '\\');
}

void StartActivityLedger(RunFileLister moreRunFiles) {
  ledger = Ledger();
  SetFatalErrorWitness({});
  if (runState.debugMode) return;
  const ShortText name = GetEnvironmentValue(kActivityLedgerVariable);
  if (name.empty()) return;
  ledger.path = FullWindowsPath(name, runState.startDir);
  ledger.moreRunFiles = moreRunFiles;
  ledger.on = true;
  SetFatalErrorWitness({RecordFatalError, WriteLedgerNotice});
  AppendOrStop(WriteMachineLines);
  // A refusal at the start is told at once; the run then goes on without a ledger.
  if (ledger.refused) {
    ConsoleWriteLine(ledger.failure);
    ledger.failure = ShortText();
  }
}

void LedgerTestStarts(TestId id, const ShortText& testLog) {
  if (!ledger.on) return;
  ledger.testOpen = true;
  ledger.test = id;
  ledger.start = FormatTimestamp();
  ledger.testLog = testLog;
  ledger.noteCount = 0;
  ledger.activity = ActivitySummary();
}

int32_t RunMeasuredCommand(const ShortText& program, const ShortText& arguments) {
  if (!ledger.on) return RunProgram(program, arguments);
  ClearTally(tally);
  TakeSnapshot(SnapshotReading::Every);
  const int32_t started =
      RunProgramWithTicks(program, arguments, kSnapshotIntervalMs, TakeTickSnapshot);
  TakeSnapshot(SnapshotReading::Every);
  FinishProcessSnapshots();
  ledger.activity = SummarizeActivity(tally);
  // The peak of a process that ended between two snapshots, where the system tells it.
  ledger.activity.peakMemoryKib =
      std::max(ledger.activity.peakMemoryKib, LastProgramPeakMemoryKib());
  // The names as the ledger and the console show them, taken once for both.
  for (int i = 0; i < ledger.activity.topCount; ++i)
    ReplaceControlBytes(ledger.activity.top[i].name);
  return started;
}

void LedgerNote(const ShortText& note) {
  if (ledger.on && ledger.noteCount < kMaxNotes) ledger.notes[ledger.noteCount++] = note;
}

void WriteBusiestOtherProgram() {
  if (!ledger.on || ledger.activity.topCount == 0) return;
  const OtherProcess& busiest = ledger.activity.top[0];
  ConsoleWrite(kBusiest);
  ConsoleWrite(ShortText(busiest.name));
  ConsoleWriteLine(ShortText(" (") + NumberToText(static_cast<int64_t>(busiest.cpuMs)) +
                   " ms of processor time)");
}

void WriteReducedClock() {
  if (!ledger.on || !ledger.activity.clockKnown ||
      ledger.activity.clockReducedPercent < kClockReducedMarkPercent) {
    return;
  }
  ConsoleWriteLine(ShortText(kClockReduced) + NumberToText(ledger.activity.clockReducedPercent) +
                   " % of the measurement");
}

void LedgerTestEnds(LedgerOutcome outcome) {
  static constexpr const char* kOutcomes[] = {kOutcomeOfficial, kOutcomeUnofficial, kOutcomeInvalid,
                                              kOutcomeSkipped};
  // A skipped test wrote no log of its own.
  if (outcome == LedgerOutcome::Skipped) ledger.testLog = ShortText();
  EndTest(kOutcomes[static_cast<int>(outcome)], ShortText());
}

void WriteLedgerNotice() {
  if (!ledger.failure.empty()) ConsoleWriteLine(ledger.failure);
}

ShortText LedgerJoint(std::string_view tail, int64_t size) {
  const std::string_view version = kLedgerVersionLine;
  const bool lineEnded = !tail.empty() && tail.back() == '\n';
  // The version line alone, or a last block ended by its empty line.
  if (size <= static_cast<int64_t>(version.size() + 2)) return lineEnded ? "" : "\r\n";
  const auto endsWith = [tail](std::string_view end) {
    return tail.size() >= end.size() && Slice(tail, tail.size() - end.size()) == end;
  };
  if (endsWith("\n\n") || endsWith("\n\r\n")) return ShortText();
  return ShortText(lineEnded ? "" : "\r\n") + ledger_key::kCut + "=1\r\n\r\n";
}
