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
    for (size_t l = 0; l + 1 < std::size(kFigureLines); ++l) out << "--:|";
    out << "---|\n";
    for (const ReportRow& row : table.rows) {
      out << "| " << MarkdownText(machines[row.machine].name) << " |";
      for (const FigureLine& line : kFigureLines) out << " " << line.value(row) << " |";
      out << "\n";
    }
  }
  for (const ReportRow& row : table.rows) {
    if (const std::string remark = UnreadableRemark(row); !remark.empty()) {
      out << "\n"
          << MarkdownText(machines[row.machine].name) << ": " << MarkdownText(remark) << "\n";
    }
  }
}

}  // namespace

void WriteMarkdownReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << "# Tarsel results\n\n"
      << CountsLine(collection) << ". Baseline: **"
      << MarkdownText(collection.machines[view.tables.baseline].name) << "**. Times in seconds; "
      << "ratio: median over the baseline's; not settled: fewer than 3 results or CV above 3 %.\n";
  for (const ReportSection& section : view.tables.sections) {
    out << "\n## " << SectionTitle(section.official) << "\n";
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
