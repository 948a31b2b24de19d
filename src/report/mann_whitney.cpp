// Whether a machine's results differ from the baseline's.
#include "report/mann_whitney.h"

#include <algorithm>
#include <cmath>

#include "report/statistics.h"

namespace {

/// The two-sided 5 % point of the standard normal distribution.
constexpr double kNormalTwoSided5Percent = 1.959963984540054;

/// The two groups pooled: the doubled mid-ranks of all, and of the smaller group (`a`
/// on a tie) its count and its rank sum.
struct Pool {
  std::vector<int> sorted;  ///< the doubled ranks of all results, lowest first
  size_t count = 0;         ///< results in the smaller group
  int64_t sum = 0;          ///< its doubled rank sum
  bool tied = false;        ///< some results are equal
};

Pool PoolOf(const std::vector<double>& a, const std::vector<double>& b) {
  const bool aSmaller = a.size() <= b.size();
  const std::vector<double>& smaller = aSmaller ? a : b;
  const std::vector<double>& larger = aSmaller ? b : a;
  std::vector<double> pooled(smaller);
  pooled.insert(pooled.end(), larger.begin(), larger.end());
  Pool pool;
  pool.count = smaller.size();
  pool.sorted = DoubledMidRanks(pooled);
  for (size_t i = 0; i < pool.count; ++i) pool.sum += pool.sorted[i];
  std::sort(pool.sorted.begin(), pool.sorted.end());
  pool.tied = std::adjacent_find(pool.sorted.begin(), pool.sorted.end()) != pool.sorted.end();
  return pool;
}

// below[s]: how many groups of `count` of the ranks have a doubled rank sum of s or less.
// The groups are counted rank by rank: a group of k among the first ranks either holds
// the latest or not.
std::vector<double> RankSumsAtMost(const std::vector<int>& sorted, size_t count) {
  int most = 0;
  for (size_t i = 0; i < count; ++i) most += sorted[sorted.size() - 1 - i];
  const size_t width = static_cast<size_t>(most) + 1;
  std::vector<double> ways((count + 1) * width, 0.0);
  ways[0] = 1;
  for (size_t seen = 1; seen <= sorted.size(); ++seen) {
    const int rank = sorted[seen - 1];
    for (size_t k = std::min(seen, count); k >= 1; --k) {
      double* with = &ways[k * width];
      const double* without = &ways[(k - 1) * width];
      for (int s = most; s >= rank; --s) with[s] += without[s - rank];
    }
  }
  std::vector<double> below(ways.begin() + static_cast<std::ptrdiff_t>(count * width), ways.end());
  for (size_t s = 1; s < below.size(); ++s) below[s] += below[s - 1];
  return below;
}

}  // namespace

double MannWhitney::ExactP(const std::vector<double>& a, const std::vector<double>& b) {
  const Pool pool = PoolOf(a, b);
  const size_t total = pool.sorted.size();
  std::vector<double> fresh;
  const std::vector<double>* below = &fresh;
  if (pool.tied) {
    fresh = RankSumsAtMost(pool.sorted, pool.count);
  } else {
    const size_t slot = total * (total + 1) / 2 + pool.count;  // one per count of each total
    if (untied_.size() <= slot) untied_.resize(slot + 1);
    if (untied_[slot].empty()) untied_[slot] = RankSumsAtMost(pool.sorted, pool.count);
    below = &untied_[slot];
  }
  // The mean of the doubled rank sum: count times the mean doubled rank, total + 1. The
  // sums as far from it as the group's: up to mean - distance, and from mean + distance.
  const int64_t mean = static_cast<int64_t>(pool.count * (total + 1));
  const int64_t distance = pool.sum > mean ? pool.sum - mean : mean - pool.sum;
  if (distance == 0) return 1;
  const int64_t last = static_cast<int64_t>(below->size()) - 1;
  const auto atMost = [&](int64_t sum) {
    return sum < 0 ? 0.0 : (*below)[static_cast<size_t>(std::min(sum, last))];
  };
  const double all = (*below)[static_cast<size_t>(last)];
  return (atMost(mean - distance) + all - atMost(mean + distance - 1)) / all;
}

Comparison MannWhitney::Compare(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() < kLeastResultsToCompare || b.size() < kLeastResultsToCompare)
    return Comparison::TooFew;
  if (a.size() + b.size() <= kExactMostResults)
    return ExactP(a, b) < kDiffersBelowP ? Comparison::Differs : Comparison::Same;
  // The normal approximation of the doubled rank sum: its variance is four times that
  // of the rank sum, m n / 12 ((N + 1) - sum(t^3 - t) / (N (N - 1))) for ties of t each.
  const Pool pool = PoolOf(a, b);
  const double total = static_cast<double>(pool.sorted.size());
  const double m = static_cast<double>(pool.count), n = total - m;
  double ties = 0;
  for (size_t first = 0; first < pool.sorted.size();) {
    size_t end = first + 1;
    while (end < pool.sorted.size() && pool.sorted[end] == pool.sorted[first]) ++end;
    const double t = static_cast<double>(end - first);
    ties += t * t * t - t;
    first = end;
  }
  const double variance = 4 * m * n / 12 * ((total + 1) - ties / (total * (total - 1)));
  if (variance <= 0) return Comparison::Same;
  // Half a rank of continuity correction, doubled.
  const double distance = std::abs(static_cast<double>(pool.sum) - m * (total + 1)) - 1;
  return distance >= kNormalTwoSided5Percent * std::sqrt(variance) ? Comparison::Differs
                                                                   : Comparison::Same;
}
