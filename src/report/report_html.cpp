// The HTML report: one self-contained page, UTF-8, with the tables and a bar chart per
// test. The bars are plain block elements with a width in pixels and nothing else (no
// script, no SVG, no image, no external file), in HTML 4.01 with its standards-mode
// doctype, so that Internet Explorer 6 on Windows XP draws them as current browsers do.
#include <algorithm>
#include <vector>

#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

/// The longest bar, in pixels: the highest median of a test.
constexpr int kLongestBar = 400;

constexpr char kHead[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
    "\"http://www.w3.org/TR/html4/strict.dtd\">\n"
    "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
    "<title>Tarsel results</title>\n<style type=\"text/css\">\n"
    "body { font-family: Verdana, Arial, sans-serif; font-size: 13px; background-color: #ffffff; "
    "color: #000000; }\n"
    "table { border-collapse: collapse; margin-bottom: 8px; }\n"
    "th, td { border: 1px solid #999999; padding: 2px 4px; text-align: right; font-size: 12px; }\n"
    "th.name, td.name { text-align: left; }\n"
    "td.machine { word-wrap: break-word; overflow-wrap: anywhere; }\n"
    "table.chart td.machine { width: 180px; }\n"
    "table.chart td { border: none; padding: 1px 4px; }\n"
    "div.bar { background-color: #3366cc; height: 14px; font-size: 1px; line-height: 1px; }\n"
    "div.unsettled { background-color: #99aacc; }\n"
    "div.fastest, div.fastestlight { background-color: #66bb66; color: #000000; font-size: 11px; "
    "line-height: 14px; font-weight: bold; white-space: nowrap; }\n"
    "div.fastestlight { background-color: #bbddbb; }\n"
    "</style>\n</head>\n<body>\n";

// "Drifting: ..." of "drifting: ...".
std::string Capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

int BarWidth(const TestTable& table, const ReportRow& row) {
  if (table.longestMedian <= 0) return 0;
  const int width = static_cast<int>(kLongestBar * row.summary.median / table.longestMedian + 0.5);
  return width < 1 ? 1 : width;
}

// The bars, fastest first; the fastest green and marked "fastest" on the bar itself
// (light as the others when not settled).
void WriteChart(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  std::vector<const ReportRow*> bars;
  for (const ReportRow& row : table.rows) {
    if (row.summary.count > 0) bars.push_back(&row);
  }
  // Machine order on a tie. (std::sort: stable_sort's buffer would pull in runtime
  // code that a Pentium cannot run.)
  std::sort(bars.begin(), bars.end(), [](const ReportRow* a, const ReportRow* b) {
    if (a->summary.median != b->summary.median) return a->summary.median < b->summary.median;
    return a->machine < b->machine;
  });
  out << "<table class=\"chart\">\n";
  for (const ReportRow* row : bars) {
    out << "<tr><td class=\"name machine\">"
        << HtmlText(view.collection.machines[row->machine].name)
        << "</td><td class=\"name\"><div class=\"bar"
        << (row->fastest   ? (row->settled ? " fastest" : " fastestlight")
            : row->settled ? ""
                           : " unsettled")
        << "\" style=\"width: " << BarWidth(table, *row) << "px\">"
        << (row->fastest ? "fastest" : "&nbsp;") << "</div></td><td class=\"name\">"
        << Decimal3(row->summary.median) << " s"
        << (row->settled ? (row->drifting ? " (drifting)" : "")
                         : (row->drifting ? " (not settled, drifting)" : " (not settled)"))
        << "</td></tr>\n";
  }
  out << "</table>\n";
}

// Words are left-aligned, figures right-aligned.
const char* CellTag(const FigureLine& line) {
  return line.words ? "<td class=\"name\">" : "<td>";
}

void WriteOverview(const ReportView& view, const ReportSection& section, OutputBuffer& out) {
  out << "<h3>" << HtmlText(OverviewTitle(section))
      << "</h3>\n<table>\n<tr><th class=\"name\">Machine</th><th>Overall (tests)</th>";
  for (const TestTable& table : section.tests) out << "<th>" << TestOption(table.test) << "</th>";
  out << "</tr>\n";
  for (const OverviewRow& line : section.overview) {
    out << "<tr><td class=\"name machine\">"
        << HtmlText(view.collection.machines[line.machine].name) << "</td><td>" << OverallText(line)
        << "</td>";
    for (size_t t = 0; t < section.tests.size(); ++t)
      out << "<td>" << OverviewCell(section.RowOf(line, t)) << "</td>";
    out << "</tr>\n";
  }
  out << "</table>\n";
}

void WriteTable(const ReportView& view, const TestTable& table, OutputBuffer& out) {
  const auto& machines = view.collection.machines;
  out << "<h3>" << HtmlText(TestShortName(table.test)) << " (" << TestOption(table.test)
      << ")</h3>\n";
  WriteChart(view, table, out);
  out << "<table>\n";
  if (view.options.wide) {
    out << "<tr><th></th>";
    for (const ReportRow& row : table.rows)
      out << "<th class=\"machine\">" << HtmlText(machines[row.machine].name) << "</th>";
    out << "</tr>\n";
    for (const FigureLine& line : kFigureLines) {
      out << "<tr><th class=\"name\">" << line.title << "</th>";
      for (const ReportRow& row : table.rows) out << CellTag(line) << line.value(row) << "</td>";
      out << "</tr>\n";
    }
  } else {
    out << "<tr><th class=\"name\">Machine</th>";
    for (const FigureLine& line : kFigureLines)
      out << (line.words ? "<th class=\"name\">" : "<th>") << line.title << "</th>";
    out << "</tr>\n";
    for (const ReportRow& row : table.rows) {
      out << "<tr><td class=\"name machine\">" << HtmlText(machines[row.machine].name) << "</td>";
      for (const FigureLine& line : kFigureLines)
        out << CellTag(line) << line.value(row) << "</td>";
      out << "</tr>\n";
    }
  }
  out << "</table>\n";
  for (const ReportRow& row : table.rows) {
    if (const std::string remark = UnreadableRemark(row); !remark.empty()) {
      out << "<p>" << HtmlText(machines[row.machine].name) << ": " << HtmlText(remark) << "</p>\n";
    }
    if (const std::string remark = DisturbedRemark(row, view.options); !remark.empty()) {
      out << "<p>" << HtmlText(machines[row.machine].name) << ": " << HtmlText(remark) << "</p>\n";
    }
    if (const std::string remark = ReducedClockRemark(row, view.options); !remark.empty()) {
      out << "<p>" << HtmlText(machines[row.machine].name) << ": " << HtmlText(remark) << "</p>\n";
    }
  }
}

}  // namespace

void WriteHtmlReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << kHead << "<h1>Tarsel results</h1>\n<p>" << HtmlText(CountsLine(collection))
      << ". Baseline: <b>" << HtmlText(collection.machines[view.tables.baseline].name)
      << "</b>. Times in seconds, lower is faster; a bar's length is the median. Ratio: the "
         "median over the baseline's. Not settled (light bars): fewer than 3 results or a "
         "coefficient of variation above 3 %. "
      << HtmlText(Capitalized(DriftRule()) + ". " + Capitalized(ComparisonRule()) + ". " +
                  Capitalized(DisturbedRule(view.options)) + ". " +
                  Capitalized(ReducedClockRule(view.options)))
      << ".</p>\n";
  for (const ReportSection& section : view.tables.sections) {
    out << "<h2>" << SectionTitle(section.official) << "</h2>\n";
    WriteOverview(view, section, out);
    for (const TestTable& table : section.tests) WriteTable(view, table, out);
  }
  out << "<h2>Machines</h2>\n<table>\n<tr><th class=\"name\">Machine</th><th class=\"name\">Named "
         "by</th><th class=\"name\">Hardware fingerprint</th><th>Main logs</th><th "
         "class=\"name\">Busiest other programs</th></tr>\n";
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    const Machine& machine = collection.machines[m];
    const std::string busiest = BusiestList(view.tables.busiest[m], HtmlText);
    out << "<tr><td class=\"name machine\">" << HtmlText(machine.name) << "</td><td class=\"name\">"
        << NamedByWord(machine.namedBy) << "</td><td class=\"name\">"
        << FingerprintList(machine, HtmlText) << "</td><td>" << machine.logs
        << "</td><td class=\"name\">" << busiest << "</td></tr>\n";
  }
  out << "</table>\n";
  const std::vector<std::string> remarks = InputRemarks(collection);
  if (!remarks.empty()) out << "<h2>Inputs</h2>\n<ul>\n";
  for (const std::string& remark : remarks) out << "<li>" << HtmlText(remark) << "</li>\n";
  if (!remarks.empty()) out << "</ul>\n";
  out << "</body>\n</html>\n";
}
