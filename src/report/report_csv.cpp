// The CSV report: one row per machine and test, then per machine its overall figure
// (RFC 4180, CR LF line ends, UTF-8 with a byte-order mark).
#include "report/report_formats.h"
#include "report/test_names.h"

void WriteCsvReport(const ReportView& view, OutputBuffer& out) {
  const ReportOptions& options = view.options;
  WriteCsvRow(out, options,
              {"section",
               "test",
               "test_name",
               "machine",
               "results",
               "median",
               "minimum",
               "maximum",
               "mean",
               "cv_percent",
               "ratio",
               "fastest",
               "settled",
               "unreadable_times",
               "invalid_results",
               "std_dev",
               "disturbed_results",
               "compared",
               "drifting",
               "reduced_clock_results"},
              true);
  const auto number = [&](bool present, const std::string& text) {
    return present ? CsvNumber(text, DecimalMark(options)) : std::string();
  };
  const auto machine = [&](int m) {
    return CsvField(view.collection.machines[m].name, options.csvSeparator);
  };
  for (const ReportSection& section : view.tables.sections) {
    const std::string sectionName = section.official ? "official" : "unofficial";
    for (const TestTable& table : section.tests) {
      for (const ReportRow& row : table.rows) {
        const Summary& s = row.summary;
        const bool any = s.count > 0;
        WriteCsvRow(out, options,
                    {sectionName,
                     std::string(TestOption(table.test)),
                     CsvField(TestShortName(table.test), options.csvSeparator),
                     machine(row.machine),
                     std::to_string(s.count),
                     number(any, Decimal3(s.median)),
                     number(any, Decimal3(s.minimum)),
                     number(any, Decimal3(s.maximum)),
                     number(any, Decimal3(s.mean)),
                     number(s.count > 1, CvPercentText(s.cvPercent)),
                     number(row.hasRatio, Decimal3(row.ratio)),
                     row.fastest ? "yes" : "no",
                     row.settled ? "yes" : "no",
                     std::to_string(row.unreadable),
                     row.invalidKnown ? std::to_string(row.invalid) : std::string(),
                     number(s.count > 1, Decimal3(s.stdDev)),
                     row.disturbedKnown ? std::to_string(row.disturbed) : std::string(),
                     ComparisonText(row.comparison),
                     row.drifting ? "yes" : "no",
                     row.reducedClockKnown ? std::to_string(row.reducedClock) : std::string()});
      }
    }
    // The overview's figure: the geometric mean of the ratios in `ratio`, over as many
    // tests as `results` says; fastest first.
    for (size_t r = 0; r < section.overview.size(); ++r) {
      const OverviewRow& line = section.overview[r];
      const bool any = line.ratios > 0;
      WriteCsvRow(out, options,
                  {sectionName,
                   "overall",
                   "Overall",
                   machine(line.machine),
                   std::to_string(line.ratios),
                   "",
                   "",
                   "",
                   "",
                   "",
                   number(any, Decimal3(line.overall)),
                   any && r == 0 ? "yes" : "no",
                   "",
                   "",
                   "",
                   "",
                   "",
                   "",
                   "",
                   ""});
    }
  }
}
