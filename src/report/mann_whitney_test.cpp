#include "report/mann_whitney.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The two-sided p-value by brute force, from U itself rather than ranks: every split
// of the pooled results into groups of a's and b's sizes, U counted pair by pair (a
// tie counts half), as far from its mean m n / 2 as the observed one or further.
double EnumeratedP(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> pooled(a);
  pooled.insert(pooled.end(), b.begin(), b.end());
  const auto twiceU = [&](uint32_t group) {
    int u = 0;
    for (size_t i = 0; i < pooled.size(); ++i) {
      for (size_t j = 0; j < pooled.size(); ++j) {
        if ((group >> i & 1) == 0 || (group >> j & 1) != 0) continue;
        u += pooled[i] > pooled[j] ? 2 : pooled[i] == pooled[j] ? 1 : 0;
      }
    }
    return u;
  };
  const int mean = static_cast<int>(a.size() * b.size());  // twice m n / 2
  const int observed = std::abs(twiceU((1u << a.size()) - 1) - mean);
  int splits = 0, asFar = 0;
  for (uint32_t group = 0; group < (1u << pooled.size()); ++group) {
    if (static_cast<size_t>(__builtin_popcount(group)) != a.size()) continue;
    ++splits;
    asFar += std::abs(twiceU(group) - mean) >= observed ? 1 : 0;
  }
  return static_cast<double>(asFar) / splits;
}

TEST(MannWhitney, ExactPMatchesEveryTableValueAndEveryEnumeratedSplit) {
  const struct {
    const char* what;
    std::vector<double> a, b;
    double p;  ///< from the published table of U; 0 where only enumerated
  } cases[] = {
      // Fully separated: 2 of C(8, 4) = 70 splits, 2 of C(10, 5) = 252.
      {"4 against 4 separated", {1, 2, 3, 4}, {5, 6, 7, 8}, 2.0 / 70},
      {"5 against 5 separated", {10, 11, 12, 13, 14}, {15, 16, 17, 18, 19}, 2.0 / 252},
      // The table's two-sided 5 % critical U of 5 and 5 is 2: U = 2 differs, U = 3 not.
      {"5 and 5, U = 2", {1, 2, 3, 4, 7}, {5, 6, 8, 9, 10}, 8.0 / 252},
      {"5 and 5, U = 3", {1, 2, 3, 5, 7}, {4, 6, 8, 9, 10}, 14.0 / 252},
      // Of 4 and 4 it is 0: U = 1 gives 4/70.
      {"4 and 4, U = 1", {1, 2, 3, 5}, {4, 6, 7, 8}, 4.0 / 70},
      {"3 against 3 separated", {1, 2, 3}, {4, 5, 6}, 2.0 / 20},
      {"the larger group first", {9, 8, 7, 6, 5, 4}, {1, 2, 3}, 2.0 / 84},
      {"interleaved", {1, 3, 5, 7, 9}, {2, 4, 6, 8, 10}, 0},
      {"ties across groups", {1, 2, 2, 3, 5}, {2, 3, 3, 4, 6, 6}, 0},
      {"ties within a group", {7, 7, 7, 8}, {1, 2, 7, 9, 9}, 0},
      {"many ties", {1, 1, 2, 2, 2, 3}, {2, 3, 3, 3, 1, 3}, 0},
      {"all alike", {4, 4, 4, 4}, {4, 4, 4, 4}, 1},
  };
  MannWhitney test;
  for (const auto& c : cases) {
    const double p = test.ExactP(c.a, c.b);
    EXPECT_NEAR(p, EnumeratedP(c.a, c.b), 1e-12) << c.what;
    if (c.p > 0) {
      EXPECT_NEAR(p, c.p, 1e-12) << c.what;
    }
  }
}

// `count` times from `first`, `step` apart.
std::vector<double> Series(int count, double first, double step) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) times.push_back(first + i * step);
  return times;
}

TEST(MannWhitney, VerdictNeedsFourResultsASideAndPBelowFivePercent) {
  const struct {
    const char* what;
    std::vector<double> a, b;
    Comparison expected;
  } cases[] = {
      {"10 % apart, 5 each",
       {100, 101, 99, 100.5, 99.5},
       {110, 111.1, 108.9, 110.55, 109.45},
       Comparison::Differs},
      {"overlapping, 5 each",
       {100, 102, 98, 101, 99},
       {101.5, 99.5, 100.5, 98.5, 103},
       Comparison::Same},
      {"3 against 3 separated", {1, 2, 3}, {7, 8, 9}, Comparison::TooFew},
      {"4 against 3 separated: 2/35 at best", {1, 2, 3, 4}, {7, 8, 9}, Comparison::TooFew},
      {"4 against 4 separated", {1, 2, 3, 4}, {7, 8, 9, 10}, Comparison::Differs},
      {"all alike", {5, 5, 5, 5}, {5, 5, 5, 5, 5}, Comparison::Same},
      // Beyond the exact bound the normal approximation decides.
      {"30 against 30 separated", Series(30, 100, 0.1), Series(30, 104, 0.1), Comparison::Differs},
      {"30 against 30 interleaved", Series(30, 100, 0.2), Series(30, 100.1, 0.2), Comparison::Same},
      {"30 against 30, a third apart, tied in groups of 3",
       {100, 100, 100, 101, 101, 101, 102, 102, 102, 103, 103, 103, 104, 104, 104,
        105, 105, 105, 106, 106, 106, 107, 107, 107, 108, 108, 108, 109, 109, 109},
       {103, 103, 103, 104, 104, 104, 105, 105, 105, 106, 106, 106, 107, 107, 107,
        108, 108, 108, 109, 109, 109, 110, 110, 110, 111, 111, 111, 112, 112, 112},
       Comparison::Differs},
  };
  MannWhitney test;
  for (const auto& c : cases) EXPECT_EQ(test.Compare(c.a, c.b), c.expected) << c.what;
}

}  // namespace
