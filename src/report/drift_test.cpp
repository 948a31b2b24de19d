#include "report/drift.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// `count` times from 100, each `percent` above the one before (below, when negative).
std::vector<double> Steady(int count, double percent) {
  std::vector<double> times = {100};
  while (static_cast<int>(times.size()) < count)
    times.push_back(times.back() * (1 + percent / 100));
  return times;
}

// The correlations were worked out apart, with mid-ranks for ties; a third of 5 or 7
// times is 2 or 3, of 9 it is 3.
TEST(Drift, SteadyRiseOrFallOfEnoughResultsDrifts) {
  const struct {
    const char* what;
    std::vector<double> times;
    double correlation;
    bool drifting;
  } cases[] = {
      {"7 rising 1 % each", Steady(7, 1), 1, true},
      {"7 falling 1 % each", Steady(7, -1), -1, true},
      {"5 rising 1 % each: thirds 100.5 and 103.5", Steady(5, 1), 1, true},
      {"4 rising 5 % each: too few", Steady(4, 5), 1, false},
      {"7 noisy", {100, 103, 99, 104, 98, 102, 101}, 0, false},
      {"7 rising 0.2 % each: thirds 0.8 % apart", Steady(7, 0.2), 1, false},
      {"one step of 10 %: correlation 0.79", {100, 100, 100, 100, 100, 110, 110}, 0.7906, false},
      {"9 rising with noise", {100, 101, 100, 102, 101, 103, 104, 103, 105}, 0.9030, true},
      {"ties: ranks 1, 2.5, 2.5, 4", {1, 2, 2, 3}, 0.9487, false},
      {"all alike", {50, 50, 50, 50, 50}, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(OrderCorrelation(c.times), c.correlation, 1e-4) << c.what;
    EXPECT_EQ(IsDrifting(c.times), c.drifting) << c.what;
  }
}

}  // namespace
