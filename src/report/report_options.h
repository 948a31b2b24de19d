// The command line of tarsel-report.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_id.h"

enum class ReportFormat { Text, Csv, Records, Json, Markdown, Html, Bbcode };

/// The INPUT that stands for standard input.
inline constexpr char kStandardInputPath[] = "-";

/// One INPUT, with the machine name that --name gave before it (empty: none).
struct ReportInput {
  std::string path;
  std::string name;
};

struct ReportOptions {
  std::vector<ReportInput> inputs;
  ReportFormat format = ReportFormat::Text;
  bool wide = false;
  bool bbcodeTable = false;        ///< bbcode: [table] markup instead of a [code] block
  bool keepDisturbed = false;      ///< disturbed results count in the figures
  char csvSeparator = ',';         ///< of csv and records: ',', ';' or a tab
  bool decimalComma = false;       ///< csv and records write "1,5" for 1.5
  std::string baseline;            ///< empty: the first machine
  std::string output;              ///< empty: standard output
  int64_t since = 0;               ///< YYYYMMDDhhmmss, inclusive
  int64_t until = 99999999999999;  ///< YYYYMMDDhhmmss, inclusive
  std::array<bool, kTestCount> tests = {true, true, true, true, true, true, true};
  bool help = false;
};

/// What the command line gave: the options, or why it is a usage error.
struct ParsedCommandLine {
  ReportOptions options;
  std::string error;  ///< empty when the line is good
};

/// Reads the arguments after the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// The usage text, lines ending with "\n".
extern const char kReportUsage[];
