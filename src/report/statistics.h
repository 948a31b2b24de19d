// The figures of one set of results.
#pragma once

#include <vector>

struct Summary {
  int count = 0;
  double median = 0, minimum = 0, maximum = 0, mean = 0;
  /// Sample standard deviation (n - 1) over the mean, in percent; 0 for one result
  /// and for a mean of 0.
  double cvPercent = 0;
  /// Sample standard deviation (n - 1), in seconds; 0 for one result.
  double stdDev = 0;
};

/// The figures of `values` (which it reorders); all 0 for none. The median of an even
/// count is the mean of the two middle values.
Summary Summarize(std::vector<double>& values);

/// The largest coefficient of variation, in percent, of a settled cell.
inline constexpr double kSettledCvPercent = 3.0;

/// Fewer than 3 results, or a coefficient of variation above 3 %, is not settled.
bool IsSettled(const Summary& summary);

/// The geometric mean of positive `values`; 0 for none.
double GeometricMean(const std::vector<double>& values);

/// The ranks of `values` (1 for the lowest), doubled: tied values share the mean of
/// their ranks, which doubled is a whole number. In the order of `values`.
std::vector<int> DoubledMidRanks(const std::vector<double>& values);
