// Pieces the report's formats share, and the records format.
#include "report/report_formats.h"

#include <algorithm>

#include "logs/ledger_format.h"
#include "report/drift.h"
#include "report/test_names.h"

namespace {

std::string Counted(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string TallyText(const LogTally& tally) {
  std::string text;
  const auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (tally.strayLines > 0)
    add(Counted(tally.strayLines, "line outside records", "lines outside records"));
  if (tally.cutLines > 0) add(Counted(tally.cutLines, "over-long line cut", "over-long lines cut"));
  if (tally.unknownLabels > 0) add(Counted(tally.unknownLabels, "unknown label", "unknown labels"));
  if (tally.cutShort) add("last record cut short");
  return text;
}

// "YYYY-MM-DD hh:mm:ss" of YYYYMMDDhhmmss; empty for 0.
std::string IsoStamp(int64_t stamp) {
  if (stamp == 0) return std::string();
  // YYYYMMDDhhmmss: each part's digits, from the year's first to the second's last.
  std::string digits = std::to_string(stamp);
  digits.insert(0, 14 - std::min<size_t>(14, digits.size()), '0');
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + " " +
         digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2);
}

}  // namespace

const char* SectionTitle(bool official) {
  return official ? "Official results" : "UNOFFICIAL results";
}

std::string CountsLine(const Collection& collection) {
  return Counted(collection.records, "result", "results") + " of " +
         Counted(static_cast<int64_t>(collection.machines.size()), "machine", "machines") +
         " from " + Counted(collection.logs, "main log", "main logs");
}

const char* NamedByWord(NamedBy namedBy) {
  switch (namedBy) {
    case NamedBy::Option:
      return "--name";
    case NamedBy::Path:
      return "path";
  }
  return "";
}

std::string BusiestList(const std::vector<BusyProgram>& programs,
                        std::string (*escape)(std::string_view)) {
  std::string list;
  for (const BusyProgram& program : programs) {
    list += (list.empty() ? "" : ", ") + escape(program.name) + " (" +
            std::to_string(program.count) + ")";
  }
  return list;
}

namespace {

std::vector<std::string> MachineWarnings(const Collection& collection) {
  std::vector<std::string> warnings;
  // Machines by fingerprint, in the order first read.
  std::vector<std::pair<const std::string*, std::vector<std::string>>> sharing;
  for (const Machine& machine : collection.machines) {
    const auto& ids = machine.fingerprints;
    if (ids.size() > 1) {
      std::string list;
      for (const Fingerprint& id : ids) list += (list.empty() ? "" : ", ") + id.id;
      warnings.push_back("Warning: " + machine.name + " has " + std::to_string(ids.size()) +
                         " hardware fingerprints (" + list +
                         "): its logs come from different hardware or systems");
    }
    for (const Fingerprint& id : ids) {
      auto same = std::find_if(sharing.begin(), sharing.end(),
                               [&](const auto& entry) { return *entry.first == id.id; });
      if (same == sharing.end()) same = sharing.insert(sharing.end(), {&id.id, {}});
      same->second.push_back(machine.name);
    }
  }
  for (const auto& [id, names] : sharing) {
    if (names.size() < 2) continue;
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    warnings.push_back("Warning: " + list + " share one hardware fingerprint (" + *id +
                       "): one machine under several names, or identical machines");
  }
  return warnings;
}

}  // namespace

std::string FingerprintList(const Machine& machine, std::string (*escape)(std::string_view)) {
  std::string list;
  for (const Fingerprint& fingerprint : machine.fingerprints)
    list += (list.empty() ? "" : "; ") + escape(fingerprint.figures);
  return list;
}

std::vector<std::string> InputRemarks(const Collection& collection) {
  std::vector<std::string> remarks = MachineWarnings(collection);
  for (const InputNote& note : collection.notes)
    remarks.push_back(note.path + ": " + TallyText(note.tally));
  const TreeWalkSkips& skips = collection.skips;
  if (skips.loops > 0)
    remarks.push_back("Skipped " + Counted(skips.loops, "link that loops", "links that loop"));
  if (skips.tooLong > 0)
    remarks.push_back("Skipped " + Counted(skips.tooLong, "path too long", "paths too long"));
  if (skips.unreadable > 0)
    remarks.push_back("Skipped " + Counted(skips.unreadable, "folder that cannot be read",
                                           "folders that cannot be read"));
  if (collection.deadLinks > 0)
    remarks.push_back("Skipped " + Counted(collection.deadLinks,
                                           "main log whose link leads nowhere",
                                           "main logs whose links lead nowhere"));
  if (collection.notFiles > 0)
    remarks.push_back("Skipped " + Counted(collection.notFiles, "main log that is no disk file",
                                           "main logs that are no disk files"));
  if (collection.duplicates > 0)
    remarks.push_back("Read once: " + Counted(collection.duplicates, "main log reached twice",
                                              "main logs reached twice"));
  return remarks;
}

std::string UnreadableRemark(const ReportRow& row) {
  if (row.unreadable == 0) return std::string();
  return Counted(row.unreadable, "time unreadable", "times unreadable") + ", such as \"" +
         *row.firstUnreadable + "\"";
}

namespace {

// "2 disturbed, left out" of 2 results a ledger distrusts for `why`; empty for none.
std::string DistrustedRemark(int64_t count, const char* why, const ReportOptions& options) {
  if (count == 0) return std::string();
  return std::to_string(count) + why + (options.keepDisturbed ? ", kept" : ", left out");
}

}  // namespace

std::string DisturbedRemark(const ReportRow& row, const ReportOptions& options) {
  return DistrustedRemark(row.disturbed, " disturbed", options);
}

std::string ReducedClockRemark(const ReportRow& row, const ReportOptions& options) {
  return DistrustedRemark(row.reducedClock, " with reduced clock", options);
}

const char* ComparisonText(Comparison comparison) {
  switch (comparison) {
    case Comparison::None:
      return "";
    case Comparison::TooFew:
      return "too few results to tell";
    case Comparison::Same:
      return "same within noise";
    case Comparison::Differs:
      return "differs";
  }
  return "";
}

namespace {

// A bound's figure without the zeros Decimal3 pads it with: "0.8", "0.05".
std::string Bound(double value) {
  std::string text = Decimal3(value);
  while (text.back() == '0') text.pop_back();
  return text;
}

}  // namespace

std::string DriftRule() {
  return "drifting: " + std::to_string(kDriftLeastResults) +
         " or more times that rise or fall steadily in log order (a rank correlation with "
         "the run order of " +
         Bound(kDriftLeastCorrelation) + " or more in size, the last third's median " +
         std::to_string(static_cast<int>(kDriftLeastShiftPercent)) +
         " % or more from the first third's)";
}

std::string ComparisonRule() {
  return "vs baseline: a two-sided Mann-Whitney test of the machine's times against the "
         "baseline's: differs where p < " +
         Bound(kDiffersBelowP) +
         ", same within noise where not, too few "
         "results to tell with fewer than " +
         std::to_string(kLeastResultsToCompare) + " on a side";
}

namespace {

std::string LeftOutOrKept(const ReportOptions& options) {
  return options.keepDisturbed ? "; kept in the figures" : "; left out of the figures";
}

}  // namespace

std::string DisturbedRule(const ReportOptions& options) {
  return "disturbed: other programs used more than " +
         std::to_string(static_cast<int>(kDisturbedSharePercent)) +
         " % of all processors during the measurement, as a ledger tells" + LeftOutOrKept(options);
}

std::string ReducedClockRule(const ReportOptions& options) {
  return "reduced clock: a busy processor ran below " + std::to_string(kReducedClockPercent) +
         " % of its nominal clock during " + std::to_string(kClockReducedMarkPercent) +
         " % or more of the measurement, as a ledger tells" + LeftOutOrKept(options);
}

std::string OverviewTitle(const ReportSection& section) {
  return std::string("Overview of the ") + (section.official ? "official" : "UNOFFICIAL") +
         " results, fastest first: median s (ratio); overall: the geometric mean of the "
         "ratios (tests)";
}

std::string OverviewCell(const ReportRow* row) {
  if (row == nullptr || row->summary.count == 0) return "-";
  return Decimal3(row->summary.median) + (row->hasRatio ? " (" + Decimal3(row->ratio) + ")" : "") +
         (row->comparison == Comparison::Differs ? ", differs" : "") +
         (row->drifting ? ", drifting" : "");
}

std::string OverallText(const OverviewRow& row) {
  if (row.ratios == 0) return "-";
  return Decimal3(row.overall) + " (" + std::to_string(row.ratios) + ")";
}

void WriteCsvRow(OutputBuffer& out, const ReportOptions& options,
                 const std::vector<std::string>& fields, bool first) {
  if (first) out << "\xEF\xBB\xBF";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out << options.csvSeparator;
    out << fields[i];
  }
  out << "\r\n";
}

void WriteRecordsHeader(OutputBuffer& out, const ReportOptions& options) {
  WriteCsvRow(out, options,
              {"machine", "log", "section", "test", "added", "encoding_time", "seconds",
               "disturbed", "reduced_clock"},
              true);
}

void WriteRecordRow(OutputBuffer& out, const ReportOptions& options,
                    const std::string& machineField, const std::string& logField,
                    const LogRecord& record, Disturbance disturbance, ClockState clock) {
  const char separator = options.csvSeparator;
  out << machineField << separator << logField << separator
      << (record.official ? "official" : "unofficial") << separator << TestOption(record.test)
      << separator << IsoStamp(record.added) << separator << CsvField(record.timeText, separator)
      << separator
      << (record.timeRead ? CsvNumber(Decimal3(record.seconds), DecimalMark(options))
                          : std::string())
      << separator
      << (disturbance == Disturbance::Unknown     ? ""
          : disturbance == Disturbance::Disturbed ? "yes"
                                                  : "no")
      << separator
      << (clock == ClockState::Unknown   ? ""
          : clock == ClockState::Reduced ? "yes"
                                         : "no")
      << "\r\n";
}
