// The figures a report shows.
#include "report/report_tables.h"

#include <algorithm>
#include <string>

#include "report/output_buffer.h"

namespace {

constexpr size_t kBusiestShown = 3;

TestTable BuildTable(Collection& collection, bool official, int test, int baseline) {
  TestTable table;
  table.test = test;
  const int machines = static_cast<int>(collection.machines.size());
  for (int machine = 0; machine < machines; ++machine) {
    const int32_t index = collection.machines[machine].cell[official ? 1 : 0][test];
    if (index < 0) continue;
    Cell& cell = collection.cells[index];
    ReportRow row;
    row.machine = machine;
    row.summary = Summarize(cell.values);
    row.settled = IsSettled(row.summary);
    row.unreadable = cell.unreadable;
    row.firstUnreadable = cell.unreadable > 0 ? &cell.firstUnreadable : nullptr;
    row.invalid = cell.invalid;
    row.invalidKnown = official && collection.machines[machine].ledgers > 0;
    table.rows.push_back(row);
  }
  const ReportRow* base = nullptr;
  ReportRow* fastest = nullptr;
  for (ReportRow& row : table.rows) {
    if (row.summary.count == 0) continue;
    if (row.machine == baseline) base = &row;
    if (fastest == nullptr || row.summary.median < fastest->summary.median) fastest = &row;
    table.longestMedian = std::max(table.longestMedian, row.summary.median);
  }
  if (fastest != nullptr) fastest->fastest = true;
  if (base != nullptr && base->summary.median > 0) {
    for (ReportRow& row : table.rows) {
      if (row.summary.count == 0) continue;
      row.hasRatio = true;
      row.ratio = row.summary.median / base->summary.median;
    }
  }
  return table;
}

}  // namespace

ReportTables BuildTables(Collection& collection, int baseline) {
  ReportTables tables;
  tables.baseline = baseline;
  for (bool official : {true, false}) {
    ReportSection section;
    section.official = official;
    for (int test = 0; test < kTestCount; ++test) {
      TestTable table = BuildTable(collection, official, test, baseline);
      if (!table.rows.empty()) section.tests.push_back(std::move(table));
    }
    if (!section.tests.empty()) tables.sections.push_back(std::move(section));
  }
  for (const Machine& machine : collection.machines) {
    std::vector<BusyProgram> programs;
    for (const auto& [name, count] : machine.busiest) programs.push_back({name, count});
    // Most often first; on a tie, by name.
    std::sort(programs.begin(), programs.end(), [](const BusyProgram& a, const BusyProgram& b) {
      return a.count != b.count ? a.count > b.count : a.name < b.name;
    });
    if (programs.size() > kBusiestShown) programs.resize(kBusiestShown);
    tables.busiest.push_back(std::move(programs));
  }
  return tables;
}

namespace {

std::string Figure(bool present, const std::string& text) {
  return present ? text : "-";
}

}  // namespace

const FigureLine kFigureLines[9] = {
    {"Results", [](const ReportRow& r) { return std::to_string(r.summary.count); }},
    {"Median s",
     [](const ReportRow& r) { return Figure(r.summary.count > 0, Decimal3(r.summary.median)); }},
    {"Min s",
     [](const ReportRow& r) { return Figure(r.summary.count > 0, Decimal3(r.summary.minimum)); }},
    {"Max s",
     [](const ReportRow& r) { return Figure(r.summary.count > 0, Decimal3(r.summary.maximum)); }},
    {"Mean s",
     [](const ReportRow& r) { return Figure(r.summary.count > 0, Decimal3(r.summary.mean)); }},
    {"CV %",
     [](const ReportRow& r) {
       return Figure(r.summary.count > 1, CvPercentText(r.summary.cvPercent));
     }},
    {"Ratio", [](const ReportRow& r) { return Figure(r.hasRatio, Decimal3(r.ratio)); }},
    {"Invalid",
     [](const ReportRow& r) { return Figure(r.invalidKnown, std::to_string(r.invalid)); }},
    {"Notes",
     [](const ReportRow& r) {
       std::string notes = r.fastest ? "fastest" : "";
       if (!r.settled) notes += notes.empty() ? "not settled" : ", not settled";
       return notes;
     }},
};
