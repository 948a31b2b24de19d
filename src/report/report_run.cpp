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
#include "platform/short_text.h"
#include "platform/text_hash.h"
#include "platform/tree_walk.h"
#include "report/collection.h"
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
    {ReportFormat::Html, WriteHtmlReport},
};

/// A main log to read, and the machine it belongs to.
struct LogInput {
  std::string path;     ///< as the platform takes it
  std::string display;  ///< "/" separators
  int machine = 0;
};

struct Run {
  const ReportOptions& options;
  Collection collection;
  std::vector<LogInput> logs;
  std::vector<FileFacts> readFiles;  ///< every log and ledger read
  HashIndex readIndex;               ///< over `readFiles`, by identity
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

void Complain(Run& run, const std::string& message) {
  const std::string line = "tarsel-report: " + Printable(message) + "\n";
  WriteOutput(run.errors, line.data(), static_cast<int32_t>(line.size()));
}

bool InRange(const ReportOptions& options, int64_t stamp) {
  const bool filtered = options.since > 0 || options.until < ReportOptions().until;
  if (stamp == 0) return !filtered;
  return stamp >= options.since && stamp <= options.until;
}

// Reads the whole file in pieces into `parser`; false (with run.failure) on a failure.
template <typename Parser>
bool ReadInto(Run& run, const std::string& path, Parser& parser) {
  ReadOnlyFile file;
  if (const int32_t code = OpenReadOnly(file, ShortText(path)); code != 0) {
    run.failure = "cannot read " + Slashed(path) + ": " + Reason(code);
    return false;
  }
  static char buffer[kChunk];
  for (;;) {
    int32_t got = 0;
    if (const int32_t code = ReadChunk(file, buffer, kChunk, got); code != 0) {
      CloseReadOnly(file);
      run.failure = "cannot read " + Slashed(path) + ": " + Reason(code);
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
};

void KeepLedgerTest(const LedgerTest& test, void* context) {
  auto& tests = *static_cast<LedgerTests*>(context);
  const ReportOptions& options = tests.run->options;
  if (test.test < 0 || !options.tests[test.test] || !InRange(options, test.start)) return;
  LedgerTest kept = test;
  kept.outcome = test.outcome == kOutcomeInvalid ? kOutcomeInvalid : "";
  kept.busiest = {};
  tests.kept.push_back(kept);
  tests.names.emplace_back(test.busiest);
}

// The ledger among the files of `folder` (names in `names`); empty when there is none.
std::string FindLedger(std::string_view folder, std::vector<std::string>& names) {
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (IsMainLogName(name)) continue;
    const std::string path = std::string(folder) + name;
    ReadOnlyFile file;
    if (OpenReadOnly(file, ShortText(path)) != 0) continue;
    char start[64];
    int32_t got = 0;
    const bool read = ReadChunk(file, start, sizeof start, got) == 0;
    CloseReadOnly(file);
    if (read && StartsAsLedger(std::string_view(start, static_cast<size_t>(got)))) return path;
  }
  return std::string();
}

// The files of one folder, by a directory search.
std::vector<std::string> FilesOf(std::string_view folder) {
  std::vector<std::string> names;
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code =
           FindFirstEntry(ShortText(std::string(folder) + "*.*"), kEveryEntry, search, entry);
       code == 0; code = FindNextEntry(search, entry)) {
    if ((entry.attributes & kAttributeDirectory) == 0) names.emplace_back(entry.name.view());
  }
  return names;
}

uint64_t IdentityHash(const FileFacts& facts) {
  const uint64_t identity[2] = {facts.volume, facts.index};
  return HashBytes(std::string_view(reinterpret_cast<const char*>(identity), sizeof identity));
}

bool FindRead(const Run& run, const FileFacts& facts) {
  return run.readIndex.Find(IdentityHash(facts),
                            [&](int32_t i) { return SameFile(run.readFiles[i], facts); }) >= 0;
}

bool AlreadyRead(Run& run, const std::string& path, bool& read) {
  FileFacts facts;
  if (!ReadFileFacts(ShortText(path), facts)) {
    run.failure = "cannot read " + Slashed(path);
    return false;
  }
  read = FindRead(run, facts);
  if (!read) {
    run.readIndex.Add(IdentityHash(facts), static_cast<int32_t>(run.readFiles.size()));
    run.readFiles.push_back(facts);
  }
  return true;
}

// --- Finding the logs

// Adds the log at `path`: its machine from --name, or its folder relative to the INPUT
// (the INPUT itself when the log lies right in it); the ledger beside it gives the
// machine a fingerprint.
bool AddLog(Run& run, const ReportInput& input, const std::string& path, size_t rootLength,
            std::vector<std::string> folderFiles) {
  bool duplicate = false;
  if (!AlreadyRead(run, path, duplicate)) return false;
  if (duplicate) {
    ++run.collection.duplicates;
    return true;
  }
  const std::string_view folder = FolderOf(path);
  const std::string ledgerPath = FindLedger(folder, folderFiles);
  LedgerTests tests{&run, {}, {}};
  LedgerParser ledger(KeepLedgerTest, &tests);
  bool ledgerNew = false;
  if (!ledgerPath.empty()) {
    bool seen = false;
    if (!AlreadyRead(run, ledgerPath, seen)) return false;
    if (!ReadInto(run, ledgerPath, ledger)) return false;
    ledgerNew = !seen;
  }
  std::string name = input.name;
  NamedBy namedBy = NamedBy::Option;
  if (name.empty()) {
    std::string_view relative = folder.substr(std::min(rootLength, folder.size()));
    while (!relative.empty() && Separator(relative.back())) relative.remove_suffix(1);
    name = relative.empty() ? Slashed(input.path) : Slashed(relative);
    namedBy = NamedBy::Path;
  }
  Collection& collection = run.collection;
  const int machine = collection.MachineNamed(name, namedBy);
  ++collection.machines[machine].logs;
  if (ledger.machine().found) collection.AddFingerprint(machine, FingerprintOf(ledger.machine()));
  if (ledgerNew) {
    ++collection.ledgers;
    ++collection.machines[machine].ledgers;
    for (size_t i = 0; i < tests.kept.size(); ++i) {
      const LedgerTest& test = tests.kept[i];
      if (!test.outcome.empty()) ++collection.CellOf(machine, true, test.test).invalid;
      if (!tests.names[i].empty()) collection.CountBusiest(machine, tests.names[i]);
    }
  }
  run.logs.push_back({path, Printable(Slashed(path)), machine});
  return true;
}

struct WalkedFiles {
  std::vector<std::string> paths;
  size_t rootLength = 0;
};

void CollectFile(const ShortText& path, int rootLength, void* context) {
  auto& walked = *static_cast<WalkedFiles*>(context);
  walked.paths.emplace_back(path.view());
  walked.rootLength = static_cast<size_t>(rootLength);
}

bool AddInput(Run& run, const ReportInput& input) {
  FileFacts facts;
  if (!ReadFileFacts(ShortText(input.path), facts)) {
    run.failure = "cannot read " + input.path + ": no such file or folder";
    return false;
  }
  if (!facts.isDirectory) {
    const std::string_view folder = FolderOf(input.path);
    return AddLog(run, input, input.path, folder.size(), FilesOf(folder));
  }
  WalkedFiles walked;
  if (!WalkTree(ShortText(input.path), CollectFile, &walked, run.collection.skips)) {
    run.failure = "cannot read the folder " + input.path;
    return false;
  }
  // Folder by folder, so that a log finds the ledger beside it among its folder's files.
  std::sort(walked.paths.begin(), walked.paths.end(),
            [](const std::string& a, const std::string& b) {
              const std::string_view folderA = FolderOf(a), folderB = FolderOf(b);
              return folderA != folderB ? folderA < folderB : a < b;
            });
  const size_t rootLength = walked.rootLength;
  for (size_t first = 0; first < walked.paths.size();) {
    const std::string_view folder = FolderOf(walked.paths[first]);
    size_t end = first;
    std::vector<std::string> names;
    std::vector<size_t> logs;
    for (; end < walked.paths.size() && FolderOf(walked.paths[end]) == folder; ++end) {
      names.emplace_back(std::string_view(walked.paths[end]).substr(folder.size()));
      if (IsMainLogName(names.back())) logs.push_back(end);
    }
    for (size_t log : logs) {
      if (!AddLog(run, input, walked.paths[log], rootLength, names)) return false;
    }
    first = end;
  }
  return true;
}

// --- Reading the logs

struct LogReading {
  Run* run;
  int machine;
  OutputBuffer* records;               ///< the records format's output; null for the others
  std::string machineField, logField;  ///< for records, made once per log
};

void TakeRecord(const LogRecord& record, void* context) {
  auto& reading = *static_cast<LogReading*>(context);
  Run& run = *reading.run;
  if (!run.options.tests[record.test] || !InRange(run.options, record.added)) return;
  Collection& collection = run.collection;
  ++collection.records;
  if (reading.records != nullptr) {
    WriteRecordRow(*reading.records, run.options, reading.machineField, reading.logField, record);
    return;
  }
  Cell& cell = collection.CellOf(reading.machine, record.official, record.test);
  if (record.timeRead) {
    cell.values.push_back(record.seconds);
  } else if (cell.unreadable++ == 0) {
    cell.firstUnreadable = Printable(record.timeText);
  }
}

bool ReadLogs(Run& run, OutputBuffer* records) {
  for (const LogInput& log : run.logs) {
    LogReading reading{&run, log.machine, records, {}, {}};
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
  Run run{parsed.options, {}, {}, {}, {}, {}, {}};
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
    if (ReadFileFacts(ShortText(options.output), facts) && FindRead(run, facts)) {
      return UsageError(run, "--output " + options.output + " is one of the inputs");
    }
    if (const int32_t code = CreateOutputFile(output, ShortText(options.output)); code != 0) {
      Complain(run, "cannot write " + options.output + ": " + Reason(code));
      return kReportNoInput;
    }
  }

  OutputBuffer out(WriteTo, &output);
  const bool records = options.format == ReportFormat::Records;
  if (records) WriteRecordsHeader(out, options);
  if (!ReadLogs(run, records ? &out : nullptr)) {
    out.Flush();
    CloseOutput(output);
    Complain(run, run.failure);
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
