// The Markdown report, UTF-8, for forum and repository posts.
#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

void WriteTable(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  const auto& machines = view.collection.machines;
  out << "\n### " << MarkdownText(TestShortName(table.test)) << " (" << TestOption(table.test)
      << ")\n\n";
  if (view.options.wide) {
    out << "| |";
    for (const ReportRow& row : table.rows)
      out << " " << MarkdownText(machines[row.machine].name) << " |";
    out << "\n|---|";
    for (size_t r = 0; r < table.rows.size(); ++r) out << "--:|";
    out << "\n";
    for (const FigureLine& line : kFigureLines) {
      out << "| " << line.title << " |";
      for (const ReportRow& row : table.rows) out << " " << line.value(row) << " |";
      out << "\n";
    }
  } else {
    out << "| Machine |";
    for (const FigureLine& line : kFigureLines) out << " " << line.title << " |";
    out << "\n|---|";
    for (const FigureLine& line : kFigureLines) out << (line.words ? "---|" : "--:|");
    out << "\n";
    for (const ReportRow& row : table.rows) {
      out << "| " << MarkdownText(machines[row.machine].name) << " |";
      for (const FigureLine& line : kFigureLines) out << " " << line.value(row) << " |";
      out << "\n";
    }
  }
  for (const ReportRow& row : table.rows) {
    for (const std::string& remark : {UnreadableRemark(row), DisturbedRemark(row, view.options),
                                      ReducedClockRemark(row, view.options)}) {
      if (remark.empty()) continue;
      out << "\n"
          << MarkdownText(machines[row.machine].name) << ": " << MarkdownText(remark) << "\n";
    }
  }
}

void WriteOverview(const ReportView& view, const ReportSection& section, OutputBuffer& out) {
  out << "\n### " << MarkdownText(OverviewTitle(section)) << "\n\n| Machine | Overall (tests) |";
  for (const TestTable& table : section.tests) out << " " << TestOption(table.test) << " |";
  out << "\n|---|--:|";
  for (size_t t = 0; t < section.tests.size(); ++t) out << "--:|";
  out << "\n";
  for (const OverviewRow& line : section.overview) {
    out << "| " << MarkdownText(view.collection.machines[line.machine].name) << " | "
        << OverallText(line) << " |";
    for (size_t t = 0; t < section.tests.size(); ++t)
      out << " " << OverviewCell(section.RowOf(line, t)) << " |";
    out << "\n";
  }
}

}  // namespace

void WriteMarkdownReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << "# Tarsel results\n\n"
      << CountsLine(collection) << ". Baseline: **"
      << MarkdownText(collection.machines[view.tables.baseline].name) << "**. Times in seconds; "
      << "ratio: median over the baseline's; not settled: fewer than 3 results or CV above 3 %; "
      << MarkdownText(DriftRule() + "; " + ComparisonRule() + "; " + DisturbedRule(view.options) +
                      "; " + ReducedClockRule(view.options))
      << ".\n";
  for (const ReportSection& section : view.tables.sections) {
    out << "\n## " << SectionTitle(section.official) << "\n";
    WriteOverview(view, section, out);
    for (const TestTable& table : section.tests) WriteTable(view, table, out);
  }
  out << "\n## Machines\n\n| Machine | Named by | Hardware fingerprint | Main logs | Busiest "
         "other programs |\n|---|---|---|--:|---|\n";
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    const Machine& machine = collection.machines[m];
    const std::string busiest = BusiestList(view.tables.busiest[m], MarkdownText);
    out << "| " << MarkdownText(machine.name) << " | " << NamedByWord(machine.namedBy) << " | "
        << FingerprintList(machine, MarkdownText) << " | " << machine.logs << " | " << busiest
        << " |\n";
  }
  const std::vector<std::string> remarks = InputRemarks(collection);
  if (!remarks.empty()) out << "\n## Inputs\n\n";
  for (const std::string& remark : remarks) out << "- " << MarkdownText(remark) << "\n";
}
