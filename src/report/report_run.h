// The whole run of tarsel-report: the command line, the search of the inputs, the
// reading and the report.
#pragma once

#include <string>
#include <vector>

/// Exit statuses.
constexpr int kReportDone = 0;
constexpr int kReportNoInput = 1;  ///< no main log found, or an input cannot be read
constexpr int kReportUsageError = 2;

/// Runs the report for the arguments after the program's name; returns the status.
int RunReport(const std::vector<std::string>& arguments);
