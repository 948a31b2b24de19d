// The figures a report shows, computed once from the collection for every format:
// per section (official results first, then unofficial ones, never mixed), per test,
// one row per machine that has a result or an invalid one there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/collection.h"
#include "report/mann_whitney.h"
#include "report/statistics.h"

struct ReportRow {
  int machine = 0;
  Summary summary;
  bool hasRatio = false;  ///< both this machine and the baseline have a median
  double ratio = 0;       ///< this machine's median over the baseline's
  bool fastest = false;   ///< the lowest median of the test (the first on a tie)
  bool settled = false;
  bool drifting = false;  ///< the times in the figures rise or fall steadily (IsDrifting)
  /// Against the baseline's times in the figures; None for the baseline itself and
  /// where there is no ratio.
  Comparison comparison = Comparison::None;
  int64_t unreadable = 0;
  const std::string* firstUnreadable = nullptr;
  int64_t invalid = 0;
  /// Only ledgers count invalid results, and only official ones: "-" elsewhere.
  bool invalidKnown = false;
  int64_t disturbed = 0;                       ///< results a ledger tells were disturbed
  bool disturbedKnown = false;                 ///< the machine has a ledger
  int64_t reducedClock = 0;                    ///< results a ledger tells ran with a reduced clock
  bool reducedClockKnown = false;              ///< some result's ledger block tells the clock
  const std::vector<double>* times = nullptr;  ///< in the figures, in log order
  /// Disturbed or with a reduced clock, left out, in log order.
  const std::vector<double>* leftOut = nullptr;
};

struct TestTable {
  int test = 0;
  std::vector<ReportRow> rows;  ///< in machine order
  double longestMedian = 0;     ///< the scale of the bars
};

/// One machine's line of the overview.
struct OverviewRow {
  int machine = 0;
  /// Per table of the section: the machine's row in it; -1 for none.
  std::vector<int> rowOf;
  int ratios = 0;      ///< tests with a ratio
  double overall = 0;  ///< the geometric mean of those ratios
};

struct ReportSection {
  bool official = true;
  std::vector<TestTable> tests;  ///< in test order, only tests with rows
  /// Every machine of the section, the lowest overall figure first, those without one
  /// last; machine order on a tie.
  std::vector<OverviewRow> overview;
  /// The machine's row of the table, or null.
  const ReportRow* RowOf(const OverviewRow& row, size_t table) const {
    return row.rowOf[table] < 0 ? nullptr : &tests[table].rows[row.rowOf[table]];
  }
};

/// A program most often named the busiest other program on a machine.
struct BusyProgram {
  std::string name;
  int count = 0;
};

struct ReportTables {
  int baseline = 0;
  std::vector<ReportSection> sections;  ///< official, then unofficial; empty ones left out
  /// Per machine, the three programs most often named busiest, most often first.
  std::vector<std::vector<BusyProgram>> busiest;
};

/// One figure of a row, as the tabular formats (Markdown, HTML) show it: its title, its
/// text for one machine ("-" where there is none), and whether that is words (aligned
/// left) rather than a number.
struct FigureLine {
  const char* title;
  std::string (*value)(const ReportRow&);
  bool words = false;
};
extern const FigureLine kFigureLines[13];

/// Computes the tables; reorders the cells' values.
ReportTables BuildTables(Collection& collection, int baseline);
