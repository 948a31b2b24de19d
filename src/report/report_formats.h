// The formats of the report. Text, CSV and records keep the inputs' 8-bit texts as
// they are; JSON, Markdown, HTML and BBCode are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/collection.h"
#include "report/disturbance.h"
#include "report/output_buffer.h"
#include "report/report_options.h"
#include "report/report_tables.h"

struct ReportView {
  const Collection& collection;
  const ReportTables& tables;
  const ReportOptions& options;
};

/// A console table of at most 79 columns.
void WriteTextReport(const ReportView& view, OutputBuffer& out);
/// One row per machine and test (docs/report.md lists the columns).
void WriteCsvReport(const ReportView& view, OutputBuffer& out);
void WriteJsonReport(const ReportView& view, OutputBuffer& out);
void WriteMarkdownReport(const ReportView& view, OutputBuffer& out);
/// One self-contained page: tables and a bar chart of plain elements per test.
void WriteHtmlReport(const ReportView& view, OutputBuffer& out);
/// For forums: a [code] block with aligned columns, or [table] markup (--bbcode-table).
void WriteBbcodeReport(const ReportView& view, OutputBuffer& out);

/// The records format: one CSV row per result, written as the logs are read. The
/// machine's and the log's fields are CsvField's, made once per log.
void WriteRecordsHeader(OutputBuffer& out, const ReportOptions& options);
void WriteRecordRow(OutputBuffer& out, const ReportOptions& options,
                    const std::string& machineField, const std::string& logField,
                    const LogRecord& record, Disturbance disturbance, ClockState clock);

/// "," with --decimal-comma, else ".".
inline char DecimalMark(const ReportOptions& options) {
  return options.decimalComma ? ',' : '.';
}

/// The fields as one row of csv or records, with the options' separator, ended by
/// CR LF; the first row of a file is preceded by the UTF-8 byte-order mark, which
/// makes a spreadsheet read the texts as UTF-8.
void WriteCsvRow(OutputBuffer& out, const ReportOptions& options,
                 const std::vector<std::string>& fields, bool first = false);

// Pieces the formats share.

/// "Official results" or "UNOFFICIAL results".
const char* SectionTitle(bool official);
/// "12 results of 2 machines from 3 main logs".
std::string CountsLine(const Collection& collection);
/// How the machine got its name: "--name" or "path".
const char* NamedByWord(NamedBy namedBy);
/// The machine's busiest other programs as "a (3), b (1)", each name through `escape`;
/// empty when the ledgers named none.
std::string BusiestList(const std::vector<BusyProgram>& programs,
                        std::string (*escape)(std::string_view));
/// The machine's hardware fingerprints, each through `escape`, separated by "; ";
/// empty without a ledger.
std::string FingerprintList(const Machine& machine, std::string (*escape)(std::string_view));
/// Warnings of a machine with two hardware fingerprints and of one fingerprint that two
/// machines share, then lines about what the inputs held besides results, and what the search
/// skipped; none when there is nothing to say. Each is a whole sentence without a line end.
std::vector<std::string> InputRemarks(const Collection& collection);
/// "2 times unreadable, such as "n/a"" for a row with unreadable times; else empty.
std::string UnreadableRemark(const ReportRow& row);
/// "2 disturbed, left out" (or "kept" with --keep-disturbed) for a row with disturbed
/// results; else empty.
std::string DisturbedRemark(const ReportRow& row, const ReportOptions& options);
/// "2 with reduced clock, left out" (or "kept" with --keep-disturbed) for a row with
/// results a ledger tells ran with a reduced clock; else empty.
std::string ReducedClockRemark(const ReportRow& row, const ReportOptions& options);
/// "differs", "same within noise", "too few results to tell"; empty for None.
const char* ComparisonText(Comparison comparison);

/// The rules behind the marks, each a sentence without its full stop for the legends:
/// "drifting: ...", "vs baseline: ...", "disturbed: ...", "reduced clock: ...".
std::string DriftRule();
std::string ComparisonRule();
std::string DisturbedRule(const ReportOptions& options);
std::string ReducedClockRule(const ReportOptions& options);

/// The overview's title line, and the text of one of its cells: "10.000 (1.000)", with
/// ", differs" and ", drifting" where they hold; "-" where the machine has no median.
std::string OverviewTitle(const ReportSection& section);
std::string OverviewCell(const ReportRow* row);
/// The overall figure: "1.234 (5 tests)", or "-".
std::string OverallText(const OverviewRow& row);
