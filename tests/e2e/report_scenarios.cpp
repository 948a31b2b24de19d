// The results report end to end: two simulated machines whose timing tools report 1 s
// and 3 s run "-divx -xvid" three times each (and a fixed share, so every run records
// an official result); tarsel-report then compares their main logs.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "emulation.h"
#include "launch.h"
#include "simulated_machine.h"

namespace {

constexpr int kRuns = 3;

struct Machine {
  std::string name;
  std::unique_ptr<SimulatedMachine> machine;
  std::vector<ProgramRun> runs;
};

// The CSV report's rows as "section,test,machine" -> columns by name (after the UTF-8
// byte-order mark that begins the file).
std::map<std::string, std::map<std::string, std::string>> CsvRows(const std::string& csv) {
  const std::string mark = "\xEF\xBB\xBF";
  std::istringstream lines(csv.compare(0, mark.size(), mark) == 0 ? csv.substr(mark.size()) : csv);
  std::string line;
  std::vector<std::string> header;
  std::map<std::string, std::map<std::string, std::string>> rows;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    if (header.empty()) {
      header = fields;
      continue;
    }
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < header.size() && i < fields.size(); ++i) row[header[i]] = fields[i];
    rows[row["section"] + "," + row["test"] + "," + row["machine"]] = row;
  }
  return rows;
}

class ReportRuns : public ProgramRunTest {};

TEST_F(ReportRuns, TwoMachinesThreeRunsEachGiveThreeResultsPerCellAndTheirRatio) {
  Machine machines[] = {{"one-second", nullptr, {}}, {"three-seconds", nullptr, {}}};
  const char* seconds[] = {"1", "3"};
  for (int m = 0; m < 2; ++m) {
    machines[m].machine = std::make_unique<SimulatedMachine>(std::vector<std::string>{
        "--work-seconds", "0", "--timer-share", "99", "--timer-seconds", seconds[m]});
    ASSERT_EQ(machines[m].machine->layoutError(), "");
    for (int run = 0; run < kRuns; ++run) {
      machines[m].runs.push_back(machines[m].machine->Run({"-divx", "-xvid"}));
    }
  }

  Launch report;
  report.program = TARSEL_REPORT;
  report.environment = {"PATH=/usr/bin:/bin"};
  report.directory = machines[0].machine->root();
  report.arguments = {"--format", "csv"};
  for (const Machine& m : machines) {
    for (const ProgramRun& run : m.runs)
      ASSERT_EQ(run.exitCode, 0) << m.name << "\n" << run.console;
    const std::filesystem::path start = m.machine->HostPath(m.machine->startDirectory());
    report.arguments.insert(report.arguments.end(), {"--name", m.name, start.string()});
  }
  const ProgramRun ran = RunHostProcess(report);
  ASSERT_EQ(ran.exitCode, 0) << ran.errors;
  const auto rows = CsvRows(ran.console);
  for (const char* test : {"divx", "xvid"}) {
    const auto& fast = rows.at(std::string("official,") + test + ",one-second");
    const auto& slow = rows.at(std::string("official,") + test + ",three-seconds");
    EXPECT_EQ(fast.at("results"), "3") << test;
    EXPECT_EQ(slow.at("results"), "3") << test;
    EXPECT_EQ(fast.at("median"), "1.000") << test;
    EXPECT_EQ(slow.at("median"), "3.000") << test;
    EXPECT_EQ(fast.at("ratio"), "1.000") << test;
    EXPECT_EQ(slow.at("ratio"), "3.000") << test << "\n" << ran.console;
  }
  // The overview: the geometric mean of each machine's ratios over the two tests.
  EXPECT_EQ(rows.at("official,overall,one-second").at("ratio"), "1.000");
  EXPECT_EQ(rows.at("official,overall,three-seconds").at("ratio"), "3.000");
  EXPECT_EQ(rows.at("official,overall,three-seconds").at("results"), "2");
  EXPECT_EQ(rows.size(), 6u) << ran.console;
}

}  // namespace
