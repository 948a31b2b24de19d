// The formats of the report. Text, CSV and records keep the inputs' 8-bit texts as
// they are; JSON, Markdown and HTML are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/collection.h"
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

/// The records format: one CSV row per result, written as the logs are read.
void WriteRecordsHeader(OutputBuffer& out);
void WriteRecordRow(OutputBuffer& out, const std::string& machine, const std::string& log,
                    const LogRecord& record);

// Pieces the formats share.

/// "Official results" or "UNOFFICIAL results".
const char* SectionTitle(bool official);
/// "12 results of 2 machines from 3 main logs".
std::string CountsLine(const Collection& collection);
/// How the machine got its name: "--name", "ledger" or "path".
const char* NamedByWord(NamedBy namedBy);
/// The machine's busiest other programs as "a (3), b (1)", each name through `escape`;
/// empty when the ledgers named none.
std::string BusiestList(const std::vector<BusyProgram>& programs,
                        std::string (*escape)(std::string_view));
/// Lines about what the inputs held besides results, and what the search skipped;
/// none when there is nothing to say. Each is a whole sentence without a line end.
std::vector<std::string> InputRemarks(const Collection& collection);
/// "2 times unreadable, such as "n/a"" for a row with unreadable times; else empty.
std::string UnreadableRemark(const ReportRow& row);
