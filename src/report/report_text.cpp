// The text report: tables for the console, at most 79 columns wide.
#include <algorithm>

#include "platform/system_text.h"
#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

constexpr size_t kNameWidth = 17;
constexpr size_t kLineWidth = 79;
/// --wide: the measures' titles, then one column per machine.
constexpr size_t kTitleWidth = 9, kColumnWidth = 10;
/// The indentation of a line that goes on from the line above.
constexpr char kGoesOn[] = "    ";

// The columns a text takes: its characters in the system's character set, counted
// in UTF-8 (a byte that is not valid there shows as one replacement character).
size_t Columns(std::string_view text) {
  std::string utf8;
  AppendSystemTextAsUtf8(text, utf8);
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The longest start of `text` that takes at most `columns` columns and ends where a
// character ends: there the two parts take as many columns as the whole.
size_t FittingBytes(std::string_view text, size_t columns) {
  const size_t whole = Columns(text);
  size_t fitting = 0;
  for (size_t end = 1; end <= text.size(); ++end) {
    const size_t taken = Columns(text.substr(0, end));
    if (taken > columns) break;
    if (taken + Columns(text.substr(end)) == whole) fitting = end;
  }
  return fitting;
}

// The text cut to `width` columns, a "~" marking the cut (only for figures, which fit).
std::string Cut(const std::string& text, size_t width) {
  return Columns(text) <= width ? text : text.substr(0, FittingBytes(text, width - 1)) + "~";
}

std::string Left(const std::string& text, size_t width) {
  const std::string cut = Cut(text, width);
  return cut + std::string(width - Columns(cut), ' ');
}

std::string Right(const std::string& text, size_t width) {
  const std::string cut = Cut(text, width);
  return std::string(width - Columns(cut), ' ') + cut;
}

// Writes the line within kLineWidth columns, nothing of it cut: a line that is longer
// breaks at its last blank that fits (else within a word) and goes on, indented, on
// the next.
void WriteWrapped(const std::string& line, OutputBuffer& out) {
  std::string_view rest = line;
  std::string_view indent;
  while (Columns(indent) + Columns(rest) > kLineWidth) {
    const size_t fits = FittingBytes(rest, kLineWidth - Columns(indent));
    size_t end = fits, next = fits;
    // A blank after the line's own indentation.
    const size_t start = rest.find_first_not_of(' ');
    const size_t blank = rest.rfind(' ', fits);
    if (blank != std::string_view::npos && start != std::string_view::npos && blank > start)
      end = blank, next = blank + 1;
    if (end == 0) break;  // not even one character fits; cannot be with these widths
    out << indent << rest.substr(0, end) << "\n";
    rest.remove_prefix(next);
    indent = kGoesOn;
  }
  out << indent << rest << "\n";
}

std::string Figure(const ReportRow& row, double value) {
  return row.summary.count > 0 ? Decimal3(value) : "-";
}

struct Measure {
  const char* title;
  std::string (*value)(const ReportRow& row);
};
constexpr Measure kMeasures[] = {
    {"n", [](const ReportRow& r) { return std::to_string(r.summary.count); }},
    {"median", [](const ReportRow& r) { return Figure(r, r.summary.median); }},
    {"min", [](const ReportRow& r) { return Figure(r, r.summary.minimum); }},
    {"max", [](const ReportRow& r) { return Figure(r, r.summary.maximum); }},
    {"mean", [](const ReportRow& r) { return Figure(r, r.summary.mean); }},
    {"cv%",
     [](const ReportRow& r) {
       return r.summary.count > 1 ? CvPercentText(r.summary.cvPercent) : "-";
     }},
    {"ratio", [](const ReportRow& r) { return r.hasRatio ? Decimal3(r.ratio) : "-"; }},
};
constexpr size_t kMeasureWidth[] = {6, 10, 10, 10, 10, 7, 7};

std::string Marks(const ReportRow& row) {
  return std::string(row.fastest ? "*" : " ") + (row.settled ? " " : "?");
}

/// The machines as the tables name them, by index.
using Labels = std::vector<std::string>;

// The machines' names; or, when a name would not fit the table's column, keys ("M1",
// "M2" ...) for all, which the list of machines explains. Nothing that tells rows
// apart is ever cut.
Labels LabelsOf(const Collection& collection, size_t width, bool& keyed) {
  keyed = false;
  for (const Machine& machine : collection.machines) keyed = keyed || Columns(machine.name) > width;
  Labels labels;
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    // Appended, not "M" + text: gcc 12 at -O3 takes that insert for an overlapping copy.
    std::string key = "M";
    key += std::to_string(m + 1);
    labels.push_back(keyed ? key : collection.machines[m].name);
  }
  return labels;
}

void WriteRows(const Labels& labels, const TestTable& table, OutputBuffer& out) {
  out << "  " << Left("machine", kNameWidth);
  for (size_t m = 0; m < std::size(kMeasures); ++m)
    out << Right(kMeasures[m].title, kMeasureWidth[m]);
  out << "\n";
  for (const ReportRow& row : table.rows) {
    out << Marks(row) << Left(labels[row.machine], kNameWidth);
    for (size_t m = 0; m < std::size(kMeasures); ++m)
      out << Right(kMeasures[m].value(row), kMeasureWidth[m]);
    out << "\n";
  }
}

// --wide: one column per machine, as many machines side by side as fit.
void WriteColumns(const Labels& labels, const TestTable& table, OutputBuffer& out) {
  const size_t perBlock = (kLineWidth - kTitleWidth) / kColumnWidth;
  for (size_t first = 0; first < table.rows.size(); first += perBlock) {
    const size_t last = std::min(table.rows.size(), first + perBlock);
    out << Left("", kTitleWidth);
    for (size_t r = first; r < last; ++r) out << Right(labels[table.rows[r].machine], kColumnWidth);
    out << "\n";
    for (const Measure& measure : kMeasures) {
      out << Left(measure.title, kTitleWidth);
      for (size_t r = first; r < last; ++r)
        out << Right(measure.value(table.rows[r]), kColumnWidth);
      out << "\n";
    }
    out << Left("", kTitleWidth);
    for (size_t r = first; r < last; ++r) out << Right(Marks(table.rows[r]), kColumnWidth);
    out << "\n";
  }
}

void WriteTable(const ReportView& view, const Labels& labels, const TestTable& table,
                OutputBuffer& out) {
  out << "\n" << TestShortName(table.test) << " (" << TestOption(table.test) << "), seconds\n";
  if (view.options.wide) {
    WriteColumns(labels, table, out);
  } else {
    WriteRows(labels, table, out);
  }
  std::string invalid, compared;
  for (const ReportRow& row : table.rows) {
    const std::string& name = labels[row.machine];
    for (const std::string& remark :
         {UnreadableRemark(row), DisturbedRemark(row, view.options),
          ReducedClockRemark(row, view.options), std::string(row.drifting ? "drifting" : "")}) {
      if (!remark.empty()) WriteWrapped("  " + name + ": " + remark, out);
    }
    if (row.invalidKnown) {
      invalid += (invalid.empty() ? "" : ", ") + name + " " + std::to_string(row.invalid);
    }
    if (row.comparison != Comparison::None) {
      compared += (compared.empty() ? "" : ", ") + name + " " + ComparisonText(row.comparison);
    }
  }
  if (!invalid.empty()) WriteWrapped("  invalid results (ledgers): " + invalid, out);
  if (!compared.empty())
    WriteWrapped("  vs baseline " + labels[view.tables.baseline] + ": " + compared, out);
}

// The overview: per machine a line of medians and one of ratios below it, the overall
// figure first; as many tests side by side as fit, the rest in further blocks. Each
// median and ratio is followed by its mark, or a blank: "^" drifting, "!" differs.
constexpr size_t kOverallWidth = 9, kTestsWidth = 7, kOverviewColumn = 9;

// The line without its trailing blanks; none when it is all blank.
void WriteTrimmed(const std::string& line, OutputBuffer& out) {
  if (const size_t end = line.find_last_not_of(' '); end != std::string::npos)
    out << std::string_view(line).substr(0, end + 1) << "\n";
}

std::string Marked(const std::string& figure, bool marked, char mark) {
  return Right(figure, kOverviewColumn - 1) + (marked ? mark : ' ');
}

void WriteOverview(const Labels& labels, const ReportSection& section, OutputBuffer& out) {
  out << "\nOverview, fastest first: median s over ratio; overall: geometric mean of ratios\n";
  const size_t fixed = 2 + kNameWidth + kOverallWidth + kTestsWidth;
  const size_t perBlock = (kLineWidth - fixed) / kOverviewColumn;
  for (size_t first = 0; first < section.tests.size(); first += perBlock) {
    const size_t last = std::min(section.tests.size(), first + perBlock);
    if (first > 0) out << "\n";
    std::string header = "  " + Left("machine", kNameWidth) + Right("overall", kOverallWidth) +
                         Right("tests", kTestsWidth);
    for (size_t t = first; t < last; ++t)
      header += Marked(std::string(TestOption(section.tests[t].test)), false, ' ');
    WriteTrimmed(header, out);
    for (const OverviewRow& line : section.overview) {
      std::string medians = "  " + Left(labels[line.machine], kNameWidth) +
                            Right(line.ratios > 0 ? Decimal3(line.overall) : "-", kOverallWidth) +
                            Right(std::to_string(line.ratios), kTestsWidth);
      std::string ratios(fixed, ' ');
      for (size_t t = first; t < last; ++t) {
        const ReportRow* row = section.RowOf(line, t);
        const bool any = row != nullptr && row->summary.count > 0;
        medians += Marked(any ? Decimal3(row->summary.median) : "-", any && row->drifting, '^');
        ratios += Marked(any && row->hasRatio ? Decimal3(row->ratio) : "",
                         any && row->comparison == Comparison::Differs, '!');
      }
      WriteTrimmed(medians, out);
      WriteTrimmed(ratios, out);  // none where the machine has no ratio
    }
  }
}

}  // namespace

void WriteTextReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << "Tarsel results: " << CountsLine(collection) << "\n";
  bool keyed = false;
  const Labels labels =
      LabelsOf(collection, view.options.wide ? kColumnWidth - 1 : kNameWidth, keyed);
  WriteWrapped("Baseline: " + collection.machines[view.tables.baseline].name, out);
  out << (keyed ? "\nMachines (key, named by; hardware fingerprint)\n"
                : "\nMachines (named by; hardware fingerprint)\n");
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    const Machine& machine = collection.machines[m];
    const std::string fingerprints = FingerprintList(machine, Printable);
    WriteWrapped("  " + (keyed ? labels[m] + " " : "") + machine.name + " (" +
                     NamedByWord(machine.namedBy) + ")" +
                     (fingerprints.empty() ? "" : "; " + fingerprints),
                 out);
  }
  for (const ReportSection& section : view.tables.sections) {
    out << "\n" << SectionTitle(section.official) << "\n";
    WriteOverview(labels, section, out);
    for (const TestTable& table : section.tests) WriteTable(view, labels, table, out);
  }
  if (!view.tables.sections.empty()) {
    out << "\n* fastest (lowest median)   ? not settled: fewer than 3 results or cv above 3 %\n"
        << "ratio: the machine's median over the baseline's; cv: standard deviation / mean\n";
  }
  bool anyDrifting = false, anyCompared = false;
  for (const ReportSection& section : view.tables.sections) {
    for (const TestTable& table : section.tests) {
      for (const ReportRow& row : table.rows) {
        anyDrifting = anyDrifting || row.drifting;
        anyCompared = anyCompared || row.comparison != Comparison::None;
      }
    }
  }
  if (anyDrifting || anyCompared)
    out << "in the overview: ^ drifting   ! differs from the baseline\n";
  if (anyDrifting) WriteWrapped(DriftRule(), out);
  if (anyCompared) WriteWrapped(ComparisonRule(), out);
  bool anyDisturbed = false, anyReduced = false;
  for (const Cell& cell : collection.cells) {
    anyDisturbed = anyDisturbed || cell.disturbed > 0;
    anyReduced = anyReduced || cell.reducedClock > 0;
  }
  if (anyDisturbed) WriteWrapped(DisturbedRule(view.options), out);
  if (anyReduced) WriteWrapped(ReducedClockRule(view.options), out);
  bool busyShown = false;
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    if (view.tables.busiest[m].empty()) continue;
    if (!busyShown) out << "\nBusiest other programs (ledgers)\n";
    busyShown = true;
    std::string line = "  " + labels[m] + ":";
    for (const BusyProgram& program : view.tables.busiest[m]) {
      line += " " + program.name + " (" + std::to_string(program.count) + ")";
    }
    WriteWrapped(line, out);
  }
  const std::vector<std::string> remarks = InputRemarks(collection);
  if (!remarks.empty()) out << "\nInputs\n";
  for (const std::string& remark : remarks) WriteWrapped("  " + remark, out);
}
