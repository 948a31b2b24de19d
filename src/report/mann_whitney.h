// Whether a machine's results differ from the baseline's: the two-sided Mann-Whitney U
// test, exact for the counts a benchmark gives (docs/report.md says what it does and
// does not tell).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class Comparison : uint8_t {
  None,    ///< not compared: the baseline itself, or no baseline results
  TooFew,  ///< fewer than kLeastResultsToCompare on a side: p < 0.05 cannot be reached
  Same,    ///< p of 0.05 or more: the difference may be noise
  Differs  ///< p below 0.05
};

/// 3 against 3 results give at best p = 0.10; 4 against 4 give 2/70 = 0.029.
inline constexpr size_t kLeastResultsToCompare = 4;
/// Results differ below this p-value.
inline constexpr double kDiffersBelowP = 0.05;
/// Up to this many results in all the p-value is exact. Every count of ways it adds up
/// stays below C(50, 25) (about 1.3e14), so a double holds it exactly.
inline constexpr size_t kExactMostResults = 50;

class MannWhitney {
 public:
  /// The exact two-sided p-value, for at most kExactMostResults results in all: of all
  /// ways to split the pooled results into groups of these sizes (all equally likely
  /// when the two machines do not differ), the share whose rank sum lies at least as
  /// far from its mean as that of `a` does. Tied results share their mid-rank.
  double ExactP(const std::vector<double>& a, const std::vector<double>& b);

  /// TooFew with fewer than kLeastResultsToCompare on a side; else Differs where p is
  /// below kDiffersBelowP, Same where not. Beyond kExactMostResults results in all the
  /// normal approximation decides (with the correction for ties and for continuity).
  Comparison Compare(const std::vector<double>& a, const std::vector<double>& b);

 private:
  /// The ways of each doubled rank sum of pools without ties, by total count and the
  /// smaller group's count: most pools have no ties, and those give the same table for
  /// every machine of a test.
  std::vector<std::vector<double>> untied_;
};
