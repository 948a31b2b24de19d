// Whether a machine's times drift from run to run.
#include "report/drift.h"

#include <cmath>

#include "report/statistics.h"

double OrderCorrelation(const std::vector<double>& times) {
  const std::vector<int> ranks = DoubledMidRanks(times);
  const double n = static_cast<double>(times.size());
  if (times.size() < 2) return 0;
  // Pearson's correlation of the ranks with the positions 1 ... n; both means are
  // (n + 1) / 2, doubled for the doubled ranks.
  double product = 0, positions = 0, spread = 0;
  for (size_t i = 0; i < times.size(); ++i) {
    const double position = static_cast<double>(i + 1) - (n + 1) / 2;
    const double rank = ranks[i] - (n + 1);
    product += position * rank;
    positions += position * position;
    spread += rank * rank;
  }
  if (spread == 0) return 0;
  return product / std::sqrt(positions * spread);
}

bool IsDrifting(const std::vector<double>& times) {
  if (times.size() < kDriftLeastResults) return false;
  if (std::fabs(OrderCorrelation(times)) < kDriftLeastCorrelation) return false;
  const size_t third = (times.size() + 2) / 3;
  std::vector<double> first(times.begin(), times.begin() + third);
  std::vector<double> last(times.end() - third, times.end());
  const double from = Summarize(first).median, to = Summarize(last).median;
  return from > 0 && std::fabs(to - from) >= from * kDriftLeastShiftPercent / 100;
}
