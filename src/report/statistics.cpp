// The figures of one set of results.
#include "report/statistics.h"

#include <algorithm>
#include <cmath>

Summary Summarize(std::vector<double>& values) {
  Summary summary;
  summary.count = static_cast<int>(values.size());
  if (values.empty()) return summary;
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  summary.minimum = *low;
  summary.maximum = *high;
  double sum = 0;
  for (double value : values) sum += value;
  summary.mean = sum / summary.count;
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  summary.median = values[middle];
  if (values.size() % 2 == 0) {
    // The lower middle value is the largest of the lower half.
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    summary.median = (lower + summary.median) / 2;
  }
  if (summary.count > 1) {
    double squares = 0;
    for (double value : values) squares += (value - summary.mean) * (value - summary.mean);
    summary.stdDev = std::sqrt(squares / (summary.count - 1));
    if (summary.mean != 0) summary.cvPercent = summary.stdDev / summary.mean * 100;
  }
  return summary;
}

bool IsSettled(const Summary& summary) {
  return summary.count >= 3 && summary.cvPercent <= kSettledCvPercent;
}

double GeometricMean(const std::vector<double>& values) {
  if (values.empty()) return 0;
  // The n-th root of the product by Newton's method, with the four operations only: the
  // runtime's exp and log hold instructions a Pentium lacks. The values are the ratios
  // of at most seven tests, so the product stays far within the range of a double.
  double product = 1;
  for (double value : values) product *= value;
  const int n = static_cast<int>(values.size());
  if (n == 1 || product <= 0) return n == 1 ? product : 0;
  double root = product > 1 ? product : 1;  // from above: the steps fall monotonically
  for (int step = 0; step < 200; ++step) {
    double power = 1;
    for (int i = 1; i < n; ++i) power *= root;
    const double next = ((n - 1) * root + product / power) / n;
    if (next >= root) break;
    root = next;
  }
  return root;
}

std::vector<int> DoubledMidRanks(const std::vector<double>& values) {
  std::vector<int> order(values.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return values[a] != values[b] ? values[a] < values[b] : a < b; });
  std::vector<int> ranks(values.size());
  for (size_t first = 0; first < order.size();) {
    size_t end = first + 1;
    while (end < order.size() && values[order[end]] == values[order[first]]) ++end;
    // Ranks first + 1 ... end share their mean, (first + 1 + end) / 2.
    for (size_t i = first; i < end; ++i) ranks[order[i]] = static_cast<int>(first + 1 + end);
    first = end;
  }
  return ranks;
}
