// Whether a machine's times in one test drift from run to run: rise or fall steadily,
// as a processor that heats up or a disk that fills does (docs/report.md gives the rule).
#pragma once

#include <cstddef>
#include <vector>

/// Fewer results never drift.
inline constexpr size_t kDriftLeastResults = 5;
/// The least size of the rank correlation with the run order.
inline constexpr double kDriftLeastCorrelation = 0.8;
/// The least distance of the last third's median from the first third's, in percent of
/// the first third's.
inline constexpr double kDriftLeastShiftPercent = 2.0;

/// Spearman's rank correlation of the times with their order (tied times share the
/// mean of their ranks), from -1 to 1; 0 for fewer than 2 times or all alike.
double OrderCorrelation(const std::vector<double>& times);

/// Drifting: at least kDriftLeastResults times, in log order, whose order correlation is
/// kDriftLeastCorrelation or more in size, and the median of the last third of them at
/// least kDriftLeastShiftPercent from the median of the first third. A third is the
/// count over 3 rounded up: 2 of 5, 3 of 7, 3 of 9.
bool IsDrifting(const std::vector<double>& times);
