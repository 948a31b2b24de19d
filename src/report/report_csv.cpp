// The CSV report: one row per machine and test (RFC 4180, CR LF line ends).
#include "report/report_formats.h"
#include "report/test_names.h"

void WriteCsvReport(const ReportView& view, OutputBuffer& out) {
  out << "section,test,test_name,machine,results,median,minimum,maximum,mean,cv_percent,"
         "ratio,fastest,settled,unreadable_times,invalid_results\r\n";
  for (const ReportSection& section : view.tables.sections) {
    for (const TestTable& table : section.tests) {
      for (const ReportRow& row : table.rows) {
        const Summary& s = row.summary;
        const bool any = s.count > 0;
        out << (section.official ? "official" : "unofficial") << ',' << TestOption(table.test)
            << ',' << CsvField(TestShortName(table.test)) << ','
            << CsvField(view.collection.machines[row.machine].name) << ',' << s.count << ','
            << (any ? Decimal3(s.median) : "") << ',' << (any ? Decimal3(s.minimum) : "") << ','
            << (any ? Decimal3(s.maximum) : "") << ',' << (any ? Decimal3(s.mean) : "") << ','
            << (s.count > 1 ? CvPercentText(s.cvPercent) : "") << ','
            << (row.hasRatio ? Decimal3(row.ratio) : "") << ',' << (row.fastest ? "yes" : "no")
            << ',' << (row.settled ? "yes" : "no") << ',' << row.unreadable << ','
            << (row.invalidKnown ? std::to_string(row.invalid) : "") << "\r\n";
      }
    }
  }
}
