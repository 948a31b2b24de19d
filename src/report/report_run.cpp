// The whole run of tarsel-report.
#include "report/report_run.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "logs/main_log.h"
#include "platform/byte_output.h"
#include "platform/directories.h"
#include "platform/file_facts.h"
#include "platform/io_result.h"
#include "platform/read_only_file.h"
#include "platform/text_hash.h"
#include "platform/tree_walk.h"
#include "report/collection.h"
#include "report/disturbance.h"
#include "report/ledger_parser.h"
#include "report/log_parser.h"
#include "report/report_formats.h"
#include "report/report_options.h"
#include "report/report_tables.h"

namespace {

constexpr int32_t kChunk = 64 * 1024;

/// The formats written from the finished tables; the records format is written while
/// the logs are read.
struct TableWriter {
  ReportFormat format;
  void (*write)(const ReportView& view, OutputBuffer& out);
};
constexpr TableWriter kTableWriters[] = {
    {ReportFormat::Text, WriteTextReport}, {ReportFormat::Csv, WriteCsvReport},
    {ReportFormat::Json, WriteJsonReport}, {ReportFormat::Markdown, WriteMarkdownReport},
    {ReportFormat::Html, WriteHtmlReport}, {ReportFormat::Bbcode, WriteBbcodeReport},
};

/// What standard input is called where a path would be shown.
constexpr char kStandardInputName[] = "standard input";

/// A main log to read, and the machine it belongs to.
struct LogInput {
  std::string path;     ///< as the platform takes it; empty for standard input
  std::string display;  ///< "/" separators
  int machine = 0;
  int ledger = -1;  ///< the ledger beside it, in Run::ledgers; -1 for none
};

/// A result a ledger's test block tells of (outcome official or unofficial), whether
/// other programs disturbed it and whether the processor kept its clock; ordered by
/// test, then start.
struct LedgerResult {
  int test = 0;
  bool official = false;
  int64_t start = 0, end = 0;
  std::string encodingTime;
  LedgerLoad load;
  Disturbance disturbance = Disturbance::Unknown;
  ClockState clock = ClockState::Unknown;
};

bool EarlierResult(const LedgerResult& a, const LedgerResult& b) {
  return a.test != b.test ? a.test < b.test : a.start < b.start;
}

struct Run {
  explicit Run(const ReportOptions& given) : options(given) {}

  const ReportOptions& options;
  Collection collection;
  std::vector<LogInput> logs;
  std::vector<FileFacts> readFiles;  ///< every log and ledger read
  HashIndex readIndex;               ///< over `readFiles`, by identity
  /// Per entry of `readFiles`: the index of its ledger in `ledgers`, -1 for a log.
  std::vector<int32_t> ledgerOf;
  std::vector<LedgerMachine> ledgers;                    ///< the machine of every ledger read
  std::vector<std::vector<LedgerResult>> ledgerResults;  ///< per ledger, its results
  bool standardInputRead = false;
  /// The folder last asked for its ledger, and the answer: logs named one by one lie
  /// side by side, and a name that is missing costs a look through the whole folder.
  std::string ledgerFolder = std::string(1, '\0'), ledgerPath;
  ByteOutput errors;
  std::string failure;  ///< why an input cannot be read; empty while all can
};

bool Separator(char c) {
  return c == '\\' || c == '/';
}

std::string Slashed(std::string_view path) {
  std::string slashed(path);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  return slashed;
}

// The folder part of a path, its separator included; empty for a bare name.
std::string_view FolderOf(std::string_view path) {
  size_t end = path.size();
  while (end > 0 && !Separator(path[end - 1]) && path[end - 1] != ':') --end;
  return path.substr(0, end);
}

bool IsMainLogName(std::string_view name) {
  return SameIgnoringCase(name, kMainLogName);
}

std::string Reason(int32_t code) {
  switch (code) {
    case kIoFileNotFound:
      return "no such file";
    case kIoPathNotFound:
      return "no such folder";
    case kIoAccessDenied:
      return "access denied";
    case kIoSharingViolation:
      return "held by another program";
    default:
      return "system error " + std::to_string(code);
  }
}

// The reason a path is refused before any call, or empty when the system can take it.
std::string TooLong(std::string_view path) {
  if (path.size() <= static_cast<size_t>(kLongestPath)) return std::string();
  return "path longer than " + std::to_string(kLongestPath) +
         " characters, the most the system takes";
}

void Complain(Run& run, const std::string& message) {
  const std::string line = "tarsel-report: " + Printable(message) + "\n";
  WriteOutput(run.errors, line.data(), static_cast<int32_t>(line.size()));
}

bool InRange(const ReportOptions& options, int64_t stamp) {
  const bool filtered = options.since > 0 || options.until < ReportOptions().until;
  if (stamp == 0) return !filtered;
  return stamp >= options.since && stamp <= options.until;
}

// Reads the whole file (standard input for an empty path) in pieces into `parser`;
// false (with run.failure) on a failure.
template <typename Parser>
bool ReadInto(Run& run, const std::string& path, Parser& parser) {
  ReadOnlyFile file;
  if (path.empty()) {
    UseStandardInput(file);
  } else if (const int32_t code = OpenReadOnly(file, path); code != 0) {
    run.failure = "cannot read " + Slashed(path) + ": " + Reason(code);
    return false;
  }
  static char buffer[kChunk];
  for (;;) {
    int32_t got = 0;
    if (const int32_t code = ReadChunk(file, buffer, kChunk, got); code != 0) {
      CloseReadOnly(file);
      run.failure = "cannot read " + (path.empty() ? kStandardInputName : Slashed(path)) + ": " +
                    Reason(code);
      return false;
    }
    if (got == 0) break;
    parser.Feed(buffer, static_cast<size_t>(got));
  }
  CloseReadOnly(file);
  parser.Finish();
  return true;
}

// --- Ledgers

struct LedgerTests {
  Run* run;
  std::vector<LedgerTest> kept;
  std::vector<std::string>
      names;  ///< the busiest names of `kept`, which only point into the parser
  std::vector<LedgerResult> results;  ///< every result the ledger tells of, unfiltered
};

void KeepLedgerTest(const LedgerTest& test, void* context) {
  auto& tests = *static_cast<LedgerTests*>(context);
  const ReportOptions& options = tests.run->options;
  const bool official = test.outcome == kOutcomeOfficial;
  if (test.test >= 0 && (official || test.outcome == kOutcomeUnofficial)) {
    tests.results.push_back({test.test, official, test.start, test.end,
                             std::string(test.encodingTime), test.load, Disturbance::Unknown,
                             JudgeClock(test.load)});
  }
  if (test.test < 0 || !options.tests[test.test] || !InRange(options, test.start)) return;
  LedgerTest kept = test;
  kept.outcome = test.outcome == kOutcomeInvalid ? kOutcomeInvalid : "";
  kept.busiest = {};
  tests.kept.push_back(kept);
  tests.names.emplace_back(test.busiest);
}

// The ledger beside the logs of `folder` (ending with its separator, or empty): the
// file of that name when it is a disk file; empty when there is none.
std::string LedgerBeside(std::string_view folder) {
  std::string path = std::string(folder) + kLedgerFileName;
  FileFacts facts;
  return ReadFileFacts(path, facts) && facts.isRegular ? path : std::string();
}

uint64_t IdentityHash(const FileFacts& facts) {
  const uint64_t identity[2] = {facts.volume, facts.index};
  return HashBytes(std::string_view(reinterpret_cast<const char*>(identity), sizeof identity));
}

int32_t FindRead(const Run& run, const FileFacts& facts) {
  return run.readIndex.Find(IdentityHash(facts),
                            [&](int32_t i) { return SameFile(run.readFiles[i], facts); });
}

// The file's entry in run.readFiles, added when it is new (`added`).
int32_t ReadFileEntry(Run& run, const FileFacts& facts, bool& added) {
  const uint64_t hash = IdentityHash(facts);
  int32_t entry = FindRead(run, facts);
  added = entry < 0;
  if (added) {
    entry = static_cast<int32_t>(run.readFiles.size());
    run.readIndex.Add(hash, entry);
    run.readFiles.push_back(facts);
    run.ledgerOf.push_back(-1);
  }
  return entry;
}

// --- Finding the logs

// The machine of the ledger at `path`, read once however many logs lie beside it; its
// tests are counted for `machine` the first time. Null when it cannot be read.
struct LedgerRead {
  const LedgerMachine* machine = nullptr;
  int ledger = -1;  ///< in Run::ledgers
  LedgerTests tests;
  bool isNew = false;
};

bool ReadLedger(Run& run, const std::string& path, LedgerRead& read) {
  FileFacts facts;
  if (!ReadFileFacts(path, facts) || !facts.isRegular) return true;  // none to read
  const int32_t entry = ReadFileEntry(run, facts, read.isNew);
  if (!read.isNew) {
    read.ledger = run.ledgerOf[entry];
    read.machine = read.ledger >= 0 ? &run.ledgers[read.ledger] : nullptr;
    return true;
  }
  read.tests.run = &run;
  LedgerParser parser(KeepLedgerTest, &read.tests);
  if (!ReadInto(run, path, parser)) return false;
  if (!parser.isLedger()) {
    read.isNew = false;  // a file of that name that is no ledger
    return true;
  }
  read.ledger = static_cast<int>(run.ledgers.size());
  run.ledgerOf[entry] = read.ledger;
  run.ledgers.push_back(parser.machine());
  read.machine = &run.ledgers.back();
  // Judged once the machine block tells the processors.
  double cpuCount = 0;
  if (!ReadSeconds(parser.machine().cpuCount, cpuCount)) cpuCount = 0;
  std::vector<LedgerResult>& results = read.tests.results;
  for (LedgerResult& result : results)
    result.disturbance = JudgeLoad(result.load, static_cast<int>(cpuCount));
  // The order of blocks of one start matters not: the match looks at all of them.
  std::sort(results.begin(), results.end(), EarlierResult);
  run.ledgerResults.push_back(std::move(results));
  return true;
}

// Adds the log at `path` (standard input when empty): its machine from --name, or its
// folder relative to the INPUT (the INPUT itself when the log lies right in it); the
// ledger beside it gives the machine a fingerprint. `walked`: found in a folder, where only disk
// files count and a link that leads nowhere is skipped; an INPUT named itself may be a pipe or
// device.
bool AddLog(Run& run, const ReportInput& input, const std::string& path, size_t rootLength,
            bool walked) {
  Collection& collection = run.collection;
  const bool standardInput = path.empty();
  if (standardInput) {
    if (run.standardInputRead) {
      ++collection.duplicates;
      return true;
    }
    run.standardInputRead = true;
  } else {
    FileFacts facts;
    if (!ReadFileFacts(path, facts)) {
      if (!walked) {
        run.failure = "cannot read " + Slashed(path);
        return false;
      }
      ++collection.deadLinks;  // listed in its folder, yet leads to nothing
      return true;
    }
    if (walked && !facts.isRegular) {
      ++collection.notFiles;
      return true;
    }
    bool isNew = false;
    ReadFileEntry(run, facts, isNew);
    if (!isNew) {
      ++collection.duplicates;
      return true;
    }
  }
  const std::string_view folder = FolderOf(path);
  LedgerRead ledger;
  if (!standardInput) {
    if (folder != run.ledgerFolder) {
      run.ledgerFolder = folder;
      run.ledgerPath = LedgerBeside(folder);
    }
    if (!run.ledgerPath.empty() && !ReadLedger(run, run.ledgerPath, ledger)) return false;
  }
  const bool fingerprinted = ledger.machine != nullptr && ledger.machine->found;
  std::string name = input.name;
  NamedBy namedBy = NamedBy::Option;
  if (name.empty() && standardInput) {
    name = kStandardInputName;
    namedBy = NamedBy::Path;
  } else if (name.empty()) {
    std::string_view relative = folder.substr(std::min(rootLength, folder.size()));
    while (!relative.empty() && Separator(relative.back())) relative.remove_suffix(1);
    name = relative.empty() ? Slashed(input.path) : Slashed(relative);
    namedBy = NamedBy::Path;
  }
  const int machine = collection.MachineNamed(name, namedBy);
  ++collection.machines[machine].logs;
  if (fingerprinted) collection.AddFingerprint(machine, FingerprintOf(*ledger.machine));
  if (ledger.isNew && ledger.machine != nullptr) {
    ++collection.ledgers;
    ++collection.machines[machine].ledgers;
    const LedgerTests& tests = ledger.tests;
    for (size_t i = 0; i < tests.kept.size(); ++i) {
      const LedgerTest& test = tests.kept[i];
      if (!test.outcome.empty()) ++collection.CellOf(machine, true, test.test).invalid;
      if (!tests.names[i].empty()) collection.CountBusiest(machine, tests.names[i]);
    }
  }
  run.logs.push_back({path, standardInput ? kStandardInputName : Printable(Slashed(path)), machine,
                      ledger.ledger});
  return true;
}

/// The main logs and ledgers a walk found.
struct WalkedLogs {
  std::vector<std::string> paths, ledgers;
  size_t rootLength = 0;
};

void CollectLog(std::string_view path, int rootLength, void* context) {
  auto& walked = *static_cast<WalkedLogs*>(context);
  walked.rootLength = static_cast<size_t>(rootLength);
  const std::string_view name = path.substr(FolderOf(path).size());
  if (IsMainLogName(name)) walked.paths.emplace_back(path);
  if (SameIgnoringCase(name, kLedgerFileName)) walked.ledgers.emplace_back(path);
}

// Folder by folder, in the order of their names.
bool ByFolder(const std::string& a, const std::string& b) {
  const std::string_view folderA = FolderOf(a), folderB = FolderOf(b);
  return folderA != folderB ? folderA < folderB : a < b;
}

bool AddInput(Run& run, const ReportInput& input) {
  if (input.path == kStandardInputPath) return AddLog(run, input, std::string(), 0, false);
  if (const std::string tooLong = TooLong(input.path); !tooLong.empty()) {
    run.failure = "cannot read " + input.path + ": " + tooLong;
    return false;
  }
  FileFacts facts;
  if (!ReadFileFacts(input.path, facts)) {
    run.failure = "cannot read " + input.path + ": no such file or folder";
    return false;
  }
  if (!facts.isDirectory) {
    return AddLog(run, input, input.path, FolderOf(input.path).size(), false);
  }
  WalkedLogs walked;
  if (!WalkTree(input.path, CollectLog, &walked, run.collection.skips)) {
    run.failure = "cannot read the folder " + input.path;
    return false;
  }
  std::sort(walked.paths.begin(), walked.paths.end(), ByFolder);
  std::sort(walked.ledgers.begin(), walked.ledgers.end(), ByFolder);
  size_t ledger = 0;
  for (const std::string& log : walked.paths) {
    // The walk listed the folder: its ledger is known without asking the system.
    const std::string_view folder = FolderOf(log);
    while (ledger < walked.ledgers.size() && FolderOf(walked.ledgers[ledger]) < folder) ++ledger;
    const bool beside =
        ledger < walked.ledgers.size() && FolderOf(walked.ledgers[ledger]) == folder;
    run.ledgerFolder = folder;
    run.ledgerPath = beside ? walked.ledgers[ledger] : std::string();
    if (!AddLog(run, input, log, walked.rootLength, true)) return false;
  }
  return true;
}

// --- Reading the logs

struct LogReading {
  Run* run;
  int machine;
  const std::vector<LedgerResult>* ledger;  ///< the results of its ledger; null for none
  OutputBuffer* records;                    ///< the records format's output; null for the others
  std::string machineField, logField;       ///< for records, made once per log
};

// The ledger's result of the record: the one result of its test, section and encoding
// time text whose measurement holds the moment it was added (the benchmark adds it
// between the block's start and end). Null without a ledger, with no such block or
// with more than one: the ledger cannot tell.
const LedgerResult* LedgerResultOf(const std::vector<LedgerResult>* ledger,
                                   const LogRecord& record) {
  if (ledger == nullptr || record.added == 0) return nullptr;
  LedgerResult moment;
  moment.test = record.test;
  moment.start = record.added;
  auto at = std::upper_bound(ledger->begin(), ledger->end(), moment, EarlierResult);
  const LedgerResult* found = nullptr;
  // A ledger's tests follow one another: blocks that ended before the moment end the look.
  while (at != ledger->begin()) {
    const LedgerResult& result = *--at;
    if (result.test != record.test || result.end < record.added) break;
    if (result.official != record.official || result.encodingTime != record.timeText) continue;
    if (found != nullptr) return nullptr;
    found = &result;
  }
  return found;
}

void TakeRecord(const LogRecord& record, void* context) {
  auto& reading = *static_cast<LogReading*>(context);
  Run& run = *reading.run;
  if (!run.options.tests[record.test] || !InRange(run.options, record.added)) return;
  Collection& collection = run.collection;
  // The records format's header comes with its first row: no results, no report.
  if (reading.records != nullptr && collection.records == 0)
    WriteRecordsHeader(*reading.records, run.options);
  ++collection.records;
  const LedgerResult* told = LedgerResultOf(reading.ledger, record);
  const Disturbance disturbance = told != nullptr ? told->disturbance : Disturbance::Unknown;
  const ClockState clock = told != nullptr ? told->clock : ClockState::Unknown;
  if (reading.records != nullptr) {
    WriteRecordRow(*reading.records, run.options, reading.machineField, reading.logField, record,
                   disturbance, clock);
    return;
  }
  Cell& cell = collection.CellOf(reading.machine, record.official, record.test);
  const bool disturbed = disturbance == Disturbance::Disturbed;
  const bool reduced = clock == ClockState::Reduced;
  cell.disturbed += disturbed ? 1 : 0;
  cell.reducedClock += reduced ? 1 : 0;
  cell.clockKnown += clock != ClockState::Unknown ? 1 : 0;
  if (record.timeRead && (disturbed || reduced) && !run.options.keepDisturbed) {
    cell.leftOut.push_back(record.seconds);
  } else if (record.timeRead) {
    cell.values.push_back(record.seconds);
  } else if (cell.unreadable++ == 0) {
    cell.firstUnreadable = Printable(record.timeText);
  }
}

bool ReadLogs(Run& run, OutputBuffer* records) {
  for (const LogInput& log : run.logs) {
    LogReading reading{
        &run,    log.machine, log.ledger >= 0 ? &run.ledgerResults[log.ledger] : nullptr,
        records, {},          {}};
    if (records != nullptr) {
      const char separator = run.options.csvSeparator;
      reading.machineField = CsvField(run.collection.machines[log.machine].name, separator);
      reading.logField = CsvField(log.display, separator);
    }
    MainLogParser parser(TakeRecord, &reading);
    if (!ReadInto(run, log.path, parser)) return false;
    ++run.collection.logs;
    if (!parser.tally().empty()) run.collection.notes.push_back({log.display, parser.tally()});
  }
  return true;
}

bool WriteTo(const char* bytes, size_t count, void* context) {
  return WriteOutput(*static_cast<ByteOutput*>(context), bytes, static_cast<int32_t>(count)) == 0;
}

int UsageError(Run& run, const std::string& message) {
  Complain(run, message);
  WriteOutput(run.errors, kReportUsage,
              static_cast<int32_t>(std::string_view(kReportUsage).size()));
  return kReportUsageError;
}

// --baseline that names no machine, or the beginning of more than one name: the names.
int BaselineError(Run& run) {
  Complain(run, "--baseline " + run.options.baseline +
                    " names no machine, or more than one; the machines are:");
  for (const Machine& machine : run.collection.machines) {
    const std::string line = "  " + machine.name + "\n";
    WriteOutput(run.errors, line.data(), static_cast<int32_t>(line.size()));
  }
  return kReportUsageError;
}

}  // namespace

int RunReport(const std::vector<std::string>& arguments) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  Run run(parsed.options);
  UseStandardStream(run.errors, StandardStream::Error);
  if (!parsed.error.empty()) return UsageError(run, parsed.error);
  const ReportOptions& options = parsed.options;
  ByteOutput output;
  UseStandardStream(output, StandardStream::Output);
  if (options.help) {
    WriteOutput(output, kReportUsage, static_cast<int32_t>(std::string_view(kReportUsage).size()));
    return kReportDone;
  }

  for (const ReportInput& input : options.inputs) {
    if (!AddInput(run, input)) {
      Complain(run, run.failure);
      return kReportNoInput;
    }
  }
  if (run.logs.empty()) {
    Complain(run, "no main log (" + std::string(kMainLogName) + ") found");
    return kReportNoInput;
  }
  int baseline = 0;
  if (!options.baseline.empty()) {
    baseline = run.collection.FindMachineByPrefix(options.baseline);
    if (baseline < 0) return BaselineError(run);
  }
  if (!options.output.empty()) {
    FileFacts facts;
    if (ReadFileFacts(options.output, facts) && FindRead(run, facts) >= 0) {
      return UsageError(run, "--output " + options.output + " is one of the inputs");
    }
    if (const std::string tooLong = TooLong(options.output); !tooLong.empty()) {
      Complain(run, "cannot write " + options.output + ": " + tooLong);
      return kReportNoInput;
    }
    if (const int32_t code = CreateOutputFile(output, options.output); code != 0) {
      Complain(run, "cannot write " + options.output + ": " + Reason(code));
      return kReportNoInput;
    }
  }

  OutputBuffer out(WriteTo, &output);
  const bool records = options.format == ReportFormat::Records;
  if (!ReadLogs(run, records ? &out : nullptr)) {
    out.Flush();
    CloseOutput(output);
    Complain(run, run.failure);
    return kReportNoInput;
  }
  if (run.collection.records == 0 && run.collection.cells.empty()) {
    CloseOutput(output);
    const bool filtered = options.since > 0 || options.until < ReportOptions().until ||
                          options.tests != ReportOptions().tests;
    Complain(run, "no results in " + std::to_string(run.collection.logs) + " main log" +
                      (run.collection.logs == 1 ? "" : "s") +
                      (filtered ? " within the --since, --until and --test filters" : ""));
    return kReportNoInput;
  }
  if (!records) {
    const ReportTables tables = BuildTables(run.collection, baseline);
    const ReportView view{run.collection, tables, options};
    for (const TableWriter& writer : kTableWriters) {
      if (writer.format == options.format) writer.write(view, out);
    }
  }
  const bool written = out.Flush();
  if (CloseOutput(output) != 0 || !written) {
    Complain(run,
             "cannot write the report" + (options.output.empty() ? "" : " to " + options.output));
    return kReportNoInput;
  }
  return kReportDone;
}
