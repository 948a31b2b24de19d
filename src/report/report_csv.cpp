// The CSV report: one row per machine and test (RFC 4180, CR LF line ends, UTF-8 with
// a byte-order mark).
#include "report/report_formats.h"
#include "report/test_names.h"

void WriteCsvReport(const ReportView& view, OutputBuffer& out) {
  const ReportOptions& options = view.options;
  WriteCsvRow(
      out, options,
      {"section", "test", "test_name", "machine", "results", "median", "minimum", "maximum", "mean",
       "cv_percent", "ratio", "fastest", "settled", "unreadable_times", "invalid_results"},
      true);
  const auto number = [&](bool present, const std::string& text) {
    return present ? CsvNumber(text, DecimalMark(options)) : std::string();
  };
  for (const ReportSection& section : view.tables.sections) {
    for (const TestTable& table : section.tests) {
      for (const ReportRow& row : table.rows) {
        const Summary& s = row.summary;
        const bool any = s.count > 0;
        WriteCsvRow(
            out, options,
            {section.official ? "official" : "unofficial", std::string(TestOption(table.test)),
             CsvField(TestShortName(table.test), options.csvSeparator),
             CsvField(view.collection.machines[row.machine].name, options.csvSeparator),
             std::to_string(s.count), number(any, Decimal3(s.median)),
             number(any, Decimal3(s.minimum)), number(any, Decimal3(s.maximum)),
             number(any, Decimal3(s.mean)), number(s.count > 1, CvPercentText(s.cvPercent)),
             number(row.hasRatio, Decimal3(row.ratio)), row.fastest ? "yes" : "no",
             row.settled ? "yes" : "no", std::to_string(row.unreadable),
             row.invalidKnown ? std::to_string(row.invalid) : std::string()});
      }
    }
  }
}
