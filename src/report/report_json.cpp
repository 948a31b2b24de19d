// The JSON report, UTF-8.
#include "report/report_formats.h"
#include "report/test_names.h"

namespace {

std::string Number(bool present, const std::string& text) {
  return present ? text : "null";
}

// "differs", ...; null where not compared.
std::string Compared(Comparison comparison) {
  if (comparison == Comparison::None) return "null";
  // Appended, not "\"" + text: gcc 12 at -O3 takes that insert for an overlapping copy.
  std::string text = "\"";
  text += ComparisonText(comparison);
  return text + "\"";
}

std::string Times(const std::vector<double>& times) {
  std::string list = "[";
  for (size_t i = 0; i < times.size(); ++i) list += (i == 0 ? "" : ", ") + Decimal3(times[i]);
  return list + "]";
}

void WriteRow(const ReportView& view, const ReportRow& row, OutputBuffer& out) {
  const Summary& s = row.summary;
  const bool any = s.count > 0;
  out << "{\"machine\": " << JsonString(view.collection.machines[row.machine].name)
      << ", \"results\": " << s.count << ", \"median\": " << Number(any, Decimal3(s.median))
      << ", \"minimum\": " << Number(any, Decimal3(s.minimum))
      << ", \"maximum\": " << Number(any, Decimal3(s.maximum))
      << ", \"mean\": " << Number(any, Decimal3(s.mean))
      << ", \"cv_percent\": " << Number(s.count > 1, CvPercentText(s.cvPercent))
      << ", \"ratio\": " << Number(row.hasRatio, Decimal3(row.ratio))
      << ", \"fastest\": " << (row.fastest ? "true" : "false")
      << ", \"settled\": " << (row.settled ? "true" : "false")
      << ", \"unreadable_times\": " << row.unreadable << ", \"first_unreadable_time\": "
      << (row.firstUnreadable != nullptr ? JsonString(*row.firstUnreadable) : "null")
      << ", \"invalid_results\": " << Number(row.invalidKnown, std::to_string(row.invalid))
      << ", \"std_dev\": " << Number(s.count > 1, Decimal3(s.stdDev))
      << ", \"disturbed_results\": " << Number(row.disturbedKnown, std::to_string(row.disturbed))
      << ", \"reduced_clock_results\": "
      << Number(row.reducedClockKnown, std::to_string(row.reducedClock))
      << ", \"compared\": " << Compared(row.comparison)
      << ", \"drifting\": " << (row.drifting ? "true" : "false")
      << ", \"times\": " << Times(*row.times) << ", \"left_out_times\": " << Times(*row.leftOut)
      << "}";
}

void WriteOverview(const ReportView& view, const ReportSection& section, OutputBuffer& out) {
  out << "\"overview\": [";
  for (size_t r = 0; r < section.overview.size(); ++r) {
    const OverviewRow& line = section.overview[r];
    out << (r == 0 ? "\n" : ",\n")
        << "        {\"machine\": " << JsonString(view.collection.machines[line.machine].name)
        << ", \"overall\": " << Number(line.ratios > 0, Decimal3(line.overall))
        << ", \"tests\": " << line.ratios << ", \"medians\": {";
    for (size_t t = 0; t < section.tests.size(); ++t) {
      const ReportRow* row = section.RowOf(line, t);
      const bool any = row != nullptr && row->summary.count > 0;
      out << (t == 0 ? "" : ", ") << "\"" << TestOption(section.tests[t].test)
          << "\": {\"median\": " << Number(any, any ? Decimal3(row->summary.median) : "")
          << ", \"ratio\": " << Number(any && row->hasRatio, any ? Decimal3(row->ratio) : "")
          << ", \"compared\": " << Compared(any ? row->comparison : Comparison::None)
          << ", \"drifting\": " << (any && row->drifting ? "true" : "false") << "}";
    }
    out << "}}";
  }
  out << (section.overview.empty() ? "]" : "\n      ]");
}

}  // namespace

void WriteJsonReport(const ReportView& view, OutputBuffer& out) {
  const Collection& collection = view.collection;
  out << "{\n  \"results\": " << collection.records << ",\n  \"main_logs\": " << collection.logs
      << ",\n  \"ledgers\": " << collection.ledgers
      << ",\n  \"baseline\": " << JsonString(collection.machines[view.tables.baseline].name)
      << ",\n  \"machines\": [";
  for (size_t m = 0; m < collection.machines.size(); ++m) {
    const Machine& machine = collection.machines[m];
    out << (m == 0 ? "\n" : ",\n") << "    {\"name\": " << JsonString(machine.name)
        << ", \"named_by\": \"" << NamedByWord(machine.namedBy)
        << "\", \"main_logs\": " << machine.logs << ", \"ledgers\": " << machine.ledgers
        << ", \"fingerprints\": [";
    for (size_t f = 0; f < machine.fingerprints.size(); ++f)
      out << (f == 0 ? "" : ", ") << JsonString(machine.fingerprints[f].figures);
    out << "], \"busiest\": [";
    const auto& busiest = view.tables.busiest[m];
    for (size_t b = 0; b < busiest.size(); ++b) {
      out << (b == 0 ? "" : ", ") << "{\"program\": " << JsonString(busiest[b].name)
          << ", \"times\": " << busiest[b].count << "}";
    }
    out << "]}";
  }
  out << "\n  ],\n  \"sections\": [";
  for (size_t i = 0; i < view.tables.sections.size(); ++i) {
    const ReportSection& section = view.tables.sections[i];
    out << (i == 0 ? "\n" : ",\n") << "    {\"section\": \""
        << (section.official ? "official" : "unofficial") << "\", ";
    WriteOverview(view, section, out);
    out << ", \"tests\": [";
    for (size_t t = 0; t < section.tests.size(); ++t) {
      const TestTable& table = section.tests[t];
      out << (t == 0 ? "\n" : ",\n") << "      {\"test\": \"" << TestOption(table.test)
          << "\", \"name\": " << JsonString(TestShortName(table.test)) << ", \"rows\": [";
      for (size_t r = 0; r < table.rows.size(); ++r) {
        out << (r == 0 ? "\n" : ",\n") << "        ";
        WriteRow(view, table.rows[r], out);
      }
      out << "\n      ]}";
    }
    out << "\n    ]}";
  }
  out << "\n  ],\n  \"remarks\": [";
  const std::vector<std::string> remarks = InputRemarks(collection);
  for (size_t i = 0; i < remarks.size(); ++i)
    out << (i == 0 ? "\n    " : ",\n    ") << JsonString(remarks[i]);
  out << (remarks.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
