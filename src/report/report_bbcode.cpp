// The BBCode report for forums, UTF-8: by default the text report in a [code] block,
// whose aligned columns every board shows (stock boards of the time had no [table]);
// with --bbcode-table the overview and the tables as [table] markup.
#include "platform/system_text.h"
#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

// An 8-bit text in UTF-8 with its brackets shown as parentheses: no name can open or
// close a tag (not even the [code] block's end), and each takes one column as before.
std::string BbText(std::string_view text) {
  std::string utf8;
  AppendSystemTextAsUtf8(text, utf8);
  for (char& c : utf8) {
    if (c == '[') c = '(';
    if (c == ']') c = ')';
  }
  return utf8;
}

bool AppendTo(const char* bytes, size_t count, void* context) {
  static_cast<std::string*>(context)->append(bytes, count);
  return true;
}

void WriteCodeBlock(const ReportView& view, OutputBuffer& out) {
  std::string text;
  OutputBuffer buffer(AppendTo, &text);
  WriteTextReport(view, buffer);
  buffer.Flush();
  out << "[code]\n" << BbText(text) << "[/code]\n";
}

void WriteRow(const std::vector<std::string>& cells, bool header, OutputBuffer& out) {
  out << "[tr]";
  for (const std::string& cell : cells)
    out << "[td]" << (header ? "[b]" : "") << cell << (header ? "[/b]" : "") << "[/td]";
  out << "[/tr]\n";
}

void WriteMarkupTables(const ReportView& view, OutputBuffer& out) {
  const auto& machines = view.collection.machines;
  out << "[b]Tarsel results[/b]\n"
      << BbText(CountsLine(view.collection))
      << ". Baseline: " << BbText(machines[view.tables.baseline].name)
      << ". Times in seconds; ratio: median over the baseline's; not settled: fewer than 3 "
         "results or CV above 3 %; "
      << BbText(DriftRule() + "; " + ComparisonRule() + "; " + DisturbedRule(view.options) + "; " +
                ReducedClockRule(view.options))
      << ".\n";
  for (const ReportSection& section : view.tables.sections) {
    out << "\n[b]" << SectionTitle(section.official) << "[/b]\n\n"
        << BbText(OverviewTitle(section)) << "\n[table]\n";
    std::vector<std::string> header = {"Machine", "Overall (tests)"};
    for (const TestTable& table : section.tests) header.emplace_back(TestOption(table.test));
    WriteRow(header, true, out);
    for (const OverviewRow& line : section.overview) {
      std::vector<std::string> cells = {BbText(machines[line.machine].name), OverallText(line)};
      for (size_t t = 0; t < section.tests.size(); ++t)
        cells.push_back(OverviewCell(section.RowOf(line, t)));
      WriteRow(cells, false, out);
    }
    out << "[/table]\n";
    for (const TestTable& table : section.tests) {
      out << "\n[b]" << BbText(TestShortName(table.test)) << " (" << TestOption(table.test)
          << ")[/b]\n[table]\n";
      std::vector<std::string> titles = {"Machine"};
      for (const FigureLine& line : kFigureLines) titles.emplace_back(line.title);
      WriteRow(titles, true, out);
      for (const ReportRow& row : table.rows) {
        std::vector<std::string> cells = {BbText(machines[row.machine].name)};
        for (const FigureLine& line : kFigureLines) cells.push_back(line.value(row));
        WriteRow(cells, false, out);
      }
      out << "[/table]\n";
      for (const ReportRow& row : table.rows) {
        for (const std::string& remark : {UnreadableRemark(row), DisturbedRemark(row, view.options),
                                          ReducedClockRemark(row, view.options)}) {
          if (!remark.empty()) out << BbText(machines[row.machine].name + ": " + remark) << "\n";
        }
      }
    }
  }
}

}  // namespace

void WriteBbcodeReport(const ReportView& view, OutputBuffer& out) {
  if (view.options.bbcodeTable) {
    WriteMarkupTables(view, out);
  } else {
    WriteCodeBlock(view, out);
  }
}
