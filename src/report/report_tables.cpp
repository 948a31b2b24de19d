// The figures a report shows.
#include "report/report_tables.h"

#include <algorithm>
#include <string>

#include "report/drift.h"
#include "report/output_buffer.h"
#include "report/report_formats.h"

namespace {

constexpr size_t kBusiestShown = 3;

TestTable BuildTable(Collection& collection, bool official, int test, int baseline,
                     MannWhitney& mannWhitney) {
  TestTable table;
  table.test = test;
  const int machines = static_cast<int>(collection.machines.size());
  for (int machine = 0; machine < machines; ++machine) {
    const int32_t index = collection.machines[machine].cell[official ? 1 : 0][test];
    if (index < 0) continue;
    Cell& cell = collection.cells[index];
    ReportRow row;
    row.machine = machine;
    std::vector<double> values = cell.values;  // the cell keeps the log's order
    row.summary = Summarize(values);
    row.times = &cell.values;
    row.leftOut = &cell.leftOut;
    row.disturbed = cell.disturbed;
    row.disturbedKnown = collection.machines[machine].ledgers > 0;
    row.reducedClock = cell.reducedClock;
    row.reducedClockKnown = cell.clockKnown > 0;
    row.settled = IsSettled(row.summary);
    row.drifting = IsDrifting(cell.values);
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
      if (&row != base) row.comparison = mannWhitney.Compare(*row.times, *base->times);
    }
  }
  return table;
}

std::vector<OverviewRow> BuildOverview(const std::vector<TestTable>& tests, int machines) {
  // Per table, each machine's row in it; -1 for none.
  std::vector<std::vector<int>> rowOf(tests.size(), std::vector<int>(machines, -1));
  for (size_t t = 0; t < tests.size(); ++t) {
    for (size_t r = 0; r < tests[t].rows.size(); ++r)
      rowOf[t][tests[t].rows[r].machine] = static_cast<int>(r);
  }
  std::vector<OverviewRow> rows;
  for (int machine = 0; machine < machines; ++machine) {
    OverviewRow line;
    line.machine = machine;
    std::vector<double> ratios;
    bool any = false;
    for (size_t t = 0; t < tests.size(); ++t) {
      const TestTable& table = tests[t];
      const int found = rowOf[t][machine];
      line.rowOf.push_back(found);
      any = any || found >= 0;
      if (found >= 0 && table.rows[found].hasRatio) ratios.push_back(table.rows[found].ratio);
    }
    if (!any) continue;
    line.ratios = static_cast<int>(ratios.size());
    line.overall = GeometricMean(ratios);
    rows.push_back(std::move(line));
  }
  // std::sort, machine order on a tie: stable_sort's buffer would pull in runtime code
  // that a Pentium cannot run.
  std::sort(rows.begin(), rows.end(), [](const OverviewRow& a, const OverviewRow& b) {
    if ((a.ratios > 0) != (b.ratios > 0)) return a.ratios > 0;
    if (a.ratios > 0 && a.overall != b.overall) return a.overall < b.overall;
    return a.machine < b.machine;
  });
  return rows;
}

}  // namespace

ReportTables BuildTables(Collection& collection, int baseline) {
  ReportTables tables;
  tables.baseline = baseline;
  MannWhitney mannWhitney;
  for (bool official : {true, false}) {
    ReportSection section;
    section.official = official;
    for (int test = 0; test < kTestCount; ++test) {
      TestTable table = BuildTable(collection, official, test, baseline, mannWhitney);
      if (!table.rows.empty()) section.tests.push_back(std::move(table));
    }
    section.overview = BuildOverview(section.tests, static_cast<int>(collection.machines.size()));
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

const FigureLine kFigureLines[13] = {
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
    {"SD s",
     [](const ReportRow& r) { return Figure(r.summary.count > 1, Decimal3(r.summary.stdDev)); }},
    {"Ratio", [](const ReportRow& r) { return Figure(r.hasRatio, Decimal3(r.ratio)); }},
    {"Vs baseline",
     [](const ReportRow& r) {
       return Figure(r.comparison != Comparison::None, ComparisonText(r.comparison));
     },
     true},
    {"Invalid",
     [](const ReportRow& r) { return Figure(r.invalidKnown, std::to_string(r.invalid)); }},
    {"Disturbed",
     [](const ReportRow& r) { return Figure(r.disturbedKnown, std::to_string(r.disturbed)); }},
    {"Reduced clock",
     [](const ReportRow& r) {
       return Figure(r.reducedClockKnown, std::to_string(r.reducedClock));
     }},
    {"Notes",
     [](const ReportRow& r) {
       std::string notes = r.fastest ? "fastest" : "";
       if (!r.settled) notes += notes.empty() ? "not settled" : ", not settled";
       if (r.drifting) notes += notes.empty() ? "drifting" : ", drifting";
       return notes;
     },
     true},
};
