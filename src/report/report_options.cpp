// The command line of tarsel-report.
#include "report/report_options.h"

#include <string_view>

#include "logs/ledger_format.h"
#include "report/test_names.h"

const char kReportUsage[] =
    "usage: tarsel-report [options] INPUT...\n"
    "Compares the results of main logs (zentravo-kelv-tarsel.log) from any number of\n"
    "machines. An INPUT is a main log, a folder searched for main logs, or - for\n"
    "standard input; -- ends the options.\n"
    "  --name NAME        the machine name of the next INPUT's logs\n"
    "  --format FORMAT    text (default), csv, records, json, md, html or bbcode\n"
    "  --output FILE      write the report to FILE instead of standard output\n"
    "  --baseline NAME    the machine the ratios compare with, or the beginning of\n"
    "                     one machine's name (default: the first machine)\n"
    "  --wide             one column per machine instead of one row\n"
    "  --bbcode-table     bbcode with [table] markup instead of a [code] block\n"
    "  --keep-disturbed   count results that other programs disturbed (a ledger\n"
    "                     tells) in the figures; they are left out by default\n"
    "  --csv-separator SEP  the field separator of csv and records: , (default),\n"
    "                     ; or tab\n"
    "  --decimal-comma    decimal commas in csv and records (with ; or tab)\n"
    "  --since DD.MM.YYYY results added on or after that day only\n"
    "  --until DD.MM.YYYY results added on or before that day only\n"
    "  --test TEST        only these tests (divx, xvid, wmv9, mpeg1, mainc, cpro,\n"
    "                     ccesp); repeat it or separate them with commas\n"
    "  -h, --help         this text\n"
    "Exit status: 0 with a report, 1 when no main log or no result was found or an\n"
    "input cannot be read, 2 for a usage error.\n";

namespace {

struct FormatName {
  std::string_view name;
  ReportFormat format;
};
constexpr FormatName kFormats[] = {
    {"text", ReportFormat::Text},       {"csv", ReportFormat::Csv},
    {"records", ReportFormat::Records}, {"json", ReportFormat::Json},
    {"md", ReportFormat::Markdown},     {"html", ReportFormat::Html},
    {"bbcode", ReportFormat::Bbcode},
};

/// The options that take no value, and what each turns on.
struct Switch {
  std::string_view name;
  bool ReportOptions::*flag;
};
constexpr Switch kSwitches[] = {
    {"--help", &ReportOptions::help},
    {"--wide", &ReportOptions::wide},
    {"--decimal-comma", &ReportOptions::decimalComma},
    {"--bbcode-table", &ReportOptions::bbcodeTable},
    {"--keep-disturbed", &ReportOptions::keepDisturbed},
};

// A day of the calendar as DD.MM.YYYY; YYYYMMDD in `day`.
bool ReadDay(std::string_view text, int64_t& day) {
  std::string_view rest;
  if (!ReadDate(text, day, rest) || !rest.empty()) return false;
  const int64_t year = day / 10000, month = day / 100 % 100;
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  constexpr int64_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return day % 100 <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// --test's list: every name must be a test's.
bool ReadTests(std::string_view list, ReportOptions& options, bool& first) {
  if (first) options.tests.fill(false);
  first = false;
  while (true) {
    const size_t comma = list.find(',');
    const int test = TestOfOption(list.substr(0, comma));
    if (test < 0) return false;
    options.tests[test] = true;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  ReportOptions& options = parsed.options;
  std::string pendingName;
  bool firstTest = true;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || argument.substr(0, 1) != "-" || argument == kStandardInputPath) {
      options.inputs.push_back({std::string(argument), pendingName});
      pendingName.clear();
      continue;
    }
    if (argument == "-h") argument = "--help";
    // "--option=value" or "--option value".
    std::string_view option = argument;
    if (option.substr(0, 2) != "--") return {options, "unknown option " + std::string(option)};
    std::string value;
    bool inlineValue = false;
    if (const size_t equals = argument.find('='); equals != std::string_view::npos) {
      option = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      inlineValue = true;
    }
    const Switch* flag = nullptr;
    for (const Switch& candidate : kSwitches) {
      if (option == candidate.name) flag = &candidate;
    }
    if (flag != nullptr) {
      if (inlineValue) return {options, "option " + std::string(option) + " takes no value"};
      options.*(flag->flag) = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= arguments.size())
        return {options, "option " + std::string(option) + " needs a value"};
      value = arguments[++i];
    }
    const std::string bad = "bad value of " + std::string(option) + ": " + value;
    if (option == "--name") {
      if (value.empty()) return {options, bad};
      pendingName = value;
    } else if (option == "--format") {
      bool known = false;
      for (const FormatName& format : kFormats) {
        if (value == format.name) options.format = format.format, known = true;
      }
      if (!known) return {options, bad};
    } else if (option == "--output") {
      if (value.empty()) return {options, bad};
      options.output = value;
    } else if (option == "--csv-separator") {
      if (value != "," && value != ";" && value != "tab" && value != "\t") return {options, bad};
      options.csvSeparator = value == "tab" ? '\t' : value[0];
    } else if (option == "--baseline") {
      options.baseline = value;
    } else if (option == "--since" || option == "--until") {
      int64_t day = 0;
      if (!ReadDay(value, day)) return {options, bad};
      if (option == "--since") {
        options.since = day * 1000000;
      } else {
        options.until = day * 1000000 + 235959;
      }
    } else if (option == "--test") {
      if (!ReadTests(value, options, firstTest)) return {options, bad};
    } else {
      return {options, "unknown option " + std::string(option)};
    }
  }
  if (options.help) return parsed;
  if (!pendingName.empty()) return {options, "--name " + pendingName + " is followed by no INPUT"};
  if (options.inputs.empty()) return {options, "no INPUT given"};
  if (options.decimalComma && options.csvSeparator == ',')
    return {options, "--decimal-comma needs --csv-separator ; or tab"};
  return parsed;
}
