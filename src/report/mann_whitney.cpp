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
  std::vector<double> values(a);
  values.insert(values.end(), b.begin(), b.end());
  Pool pool;
  pool.sorted = DoubledMidRanks(values);
  const bool aSmaller = a.size() <= b.size();
  pool.count = aSmaller ? a.size() : b.size();
  for (size_t i = 0; i < pool.count; ++i) pool.sum += pool.sorted[aSmaller ? i : a.size() + i];
  std::sort(pool.sorted.begin(), pool.sorted.end());
  for (size_t i = 1; i < pool.sorted.size(); ++i) pool.tied |= pool.sorted[i] == pool.sorted[i - 1];
  return pool;
}

// ways[s]: how many groups of `count` of the ranks have the doubled rank sum s, counted
// rank by rank: a group of k among the first ranks either holds the latest or not.
std::vector<double> RankSumWays(const std::vector<int>& sorted, size_t count) {
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
  return std::vector<double>(ways.begin() + static_cast<std::ptrdiff_t>(count * width), ways.end());
}

}  // namespace

double MannWhitney::ExactP(const std::vector<double>& a, const std::vector<double>& b) {
  const Pool pool = PoolOf(a, b);
  const size_t total = pool.sorted.size();
  std::vector<double> fresh;
  const std::vector<double>* ways = &fresh;
  if (pool.tied) {
    fresh = RankSumWays(pool.sorted, pool.count);
  } else {
    const size_t slot = total * (total + 1) / 2 + pool.count;  // one per count of each total
    if (untied_.size() <= slot) untied_.resize(slot + 1);
    if (untied_[slot].empty()) untied_[slot] = RankSumWays(pool.sorted, pool.count);
    ways = &untied_[slot];
  }
  // The mean of the doubled rank sum: count times the mean doubled rank, total + 1.
  const int64_t mean = static_cast<int64_t>(pool.count * (total + 1));
  const int64_t distance = pool.sum > mean ? pool.sum - mean : mean - pool.sum;
  double all = 0, asFar = 0;
  for (size_t s = 0; s < ways->size(); ++s) {
    const int64_t sum = static_cast<int64_t>(s);
    all += (*ways)[s];
    if ((sum > mean ? sum - mean : mean - sum) >= distance) asFar += (*ways)[s];
  }
  return asFar / all;
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
