// The text report: tables for the console, at most 79 columns wide.
#include <algorithm>

#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

constexpr size_t kNameWidth = 17;
constexpr size_t kLineWidth = 79;

// The text cut to `width` columns, a "~" marking the cut.
std::string Cut(const std::string& text, size_t width) {
  return text.size() <= width ? text : text.substr(0, width - 1) + "~";
}

std::string Left(const std::string& text, size_t width) {
  const std::string cut = Cut(text, width);
  return cut + std::string(width - cut.size(), ' ');
}

std::string Right(const std::string& text, size_t width) {
  const std::string cut = Cut(text, width);
  return std::string(width - cut.size(), ' ') + cut;
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

void WriteRows(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  out << "  " << Left("machine", kNameWidth);
  for (size_t m = 0; m < std::size(kMeasures); ++m)
    out << Right(kMeasures[m].title, kMeasureWidth[m]);
  out << "\n";
  for (const ReportRow& row : table.rows) {
    out << Marks(row) << Left(view.collection.machines[row.machine].name, kNameWidth);
    for (size_t m = 0; m < std::size(kMeasures); ++m)
      out << Right(kMeasures[m].value(row), kMeasureWidth[m]);
    out << "\n";
  }
}

// --wide: one column per machine, as many machines side by side as fit.
void WriteColumns(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  constexpr size_t kTitleWidth = 9, kColumnWidth = 10;
  const size_t perBlock = (kLineWidth - kTitleWidth) / kColumnWidth;
  for (size_t first = 0; first < table.rows.size(); first += perBlock) {
    const size_t last = std::min(table.rows.size(), first + perBlock);
    out << Left("", kTitleWidth);
    for (size_t r = first; r < last; ++r) {
      out << Right(Cut(view.collection.machines[table.rows[r].machine].name, kColumnWidth - 1),
                   kColumnWidth);
    }
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

void WriteTable(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  out << "\n" << TestShortName(table.test) << " (" << TestOption(table.test) << "), seconds\n";
  if (view.options.wide) {
    WriteColumns(view, table, out);
  } else {
    WriteRows(view, table, out);
  }
  std::string invalid;
  for (const ReportRow& row : table.rows) {
    const std::string& name = view.collection.machines[row.machine].name;
    if (const std::string remark = UnreadableRemark(row); !remark.empty()) {
      out << Cut("  " + name + ": " + remark, kLineWidth) << "\n";
    }
    if (row.invalidKnown) {
      invalid += (invalid.empty() ? "" : ", ") + name + " " + std::to_string(row.invalid);
    }
  }
  if (!invalid.empty()) out << Cut("  invalid results (ledgers): " + invalid, kLineWidth) << "\n";
}

}  // namespace

void WriteTextReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << "Tarsel results: " << CountsLine(collection) << "\n";
  out << Cut("Baseline: " + collection.machines[view.tables.baseline].name, kLineWidth) << "\n";
  out << "\nMachines (named by)\n";
  for (const Machine& machine : collection.machines) {
    out << Cut("  " + machine.name + " (" + NamedByWord(machine.namedBy) + ")", kLineWidth) << "\n";
  }
  for (const ReportSection& section : view.tables.sections) {
    out << "\n" << SectionTitle(section.official) << "\n";
    for (const TestTable& table : section.tests) WriteTable(view, table, out);
  }
  if (!view.tables.sections.empty()) {
    out << "\n* fastest (lowest median)   ? not settled: fewer than 3 results or cv above 3 %\n"
        << "ratio: the machine's median over the baseline's; cv: standard deviation / mean\n";
  }
  bool busyShown = false;
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    if (view.tables.busiest[m].empty()) continue;
    if (!busyShown) out << "\nBusiest other programs (ledgers)\n";
    busyShown = true;
    std::string line = "  " + collection.machines[m].name + ":";
    for (const BusyProgram& program : view.tables.busiest[m]) {
      line += " " + program.name + " (" + std::to_string(program.count) + ")";
    }
    out << Cut(line, kLineWidth) << "\n";
  }
  const std::vector<std::string> remarks = InputRemarks(collection);
  if (!remarks.empty()) out << "\nInputs\n";
  for (const std::string& remark : remarks) out << Cut("  " + remark, kLineWidth) << "\n";
}
