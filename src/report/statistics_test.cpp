#include "report/statistics.h"

#include "report/output_buffer.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Statistics, FiguresMatchThoseWorkedOutByHand) {
  struct {
    std::vector<double> values;
    Summary expected;
    bool settled;
  } const cases[] = {
      // Odd count: median 2; mean 2; sd = sqrt((1+0+1)/2) = 1; cv 50 %.
      {{3, 1, 2}, {3, 2, 1, 3, 2, 50, 1}, false},
      // Even count: median (2+3)/2; mean 2.5; sd = sqrt((2.25+.25+.25+2.25)/3) = 1.2910; cv 51.64
      // %.
      {{4, 1, 3, 2}, {4, 2.5, 1, 4, 2.5, 51.6398, 1.290994}, false},
      // One result: no spread, but too few to be settled.
      {{7.5}, {1, 7.5, 7.5, 7.5, 7.5, 0, 0}, false},
      // Identical results.
      {{10, 10, 10}, {3, 10, 10, 10, 10, 0, 0}, true},
      // 100, 101, 102: sd 1, cv 0.990 %: settled.
      {{101, 100, 102}, {3, 101, 100, 102, 101, 0.990099, 1}, true},
      // 100, 103, 106: sd 3, cv 2.913 %: still settled; 100, 104, 108: cv 3.846 %: not.
      {{100, 103, 106}, {3, 103, 100, 106, 103, 2.912621, 3}, true},
      {{100, 104, 108}, {3, 104, 100, 108, 104, 3.846154, 4}, false},
      {{}, {0, 0, 0, 0, 0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    std::vector<double> values = c.values;
    const Summary s = Summarize(values);
    EXPECT_EQ(s.count, c.expected.count);
    EXPECT_DOUBLE_EQ(s.median, c.expected.median);
    EXPECT_DOUBLE_EQ(s.minimum, c.expected.minimum);
    EXPECT_DOUBLE_EQ(s.maximum, c.expected.maximum);
    EXPECT_DOUBLE_EQ(s.mean, c.expected.mean);
    EXPECT_NEAR(s.cvPercent, c.expected.cvPercent, 1e-4) << c.values.size();
    EXPECT_NEAR(s.stdDev, c.expected.stdDev, 1e-6) << c.values.size();
    EXPECT_EQ(IsSettled(s), c.settled) << s.cvPercent;
  }
}

TEST(Statistics, GeometricMeanMatchesOneWorkedOutByHand) {
  const struct {
    std::vector<double> ratios;
    double mean;
  } cases[] = {
      {{2, 8}, 4},                   // sqrt(16)
      {{1, 3, 9}, 3},                // cube root of 27
      {{1.5, 1.2}, 1.341640786500},  // sqrt(1.8)
      {{0.5}, 0.5},
      {{}, 0},
  };
  for (const auto& c : cases) EXPECT_NEAR(GeometricMean(c.ratios), c.mean, 1e-9) << c.ratios.size();
}

// Halves round away from zero from the decimal a spreadsheet shows, for any size; the
// CV shows which side of the settled bound it lies on.
TEST(Statistics, FiguresPrintAsASpreadsheetRoundsThem) {
  const struct {
    double value;
    const char* seconds;
    const char* cv;
  } cases[] = {
      {117.1705, "117.171", "117.17"},
      {1.0005, "1.001", "1.00"},
      {0.0005, "0.001", "0.00"},
      {2.998, "2.998", "3.00"},
      {3.002, "3.002", "3.002"},
      {3.0004, "3.000", "3.0004"},
      {3, "3.000", "3.00"},
      {999.9995, "1000.000", "1000.00"},
      {9.3e15, "9300000000000000.000", "9300000000000000.00"},
      {0, "0.000", "0.00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decimal3(c.value), c.seconds) << c.value;
    EXPECT_EQ(CvPercentText(c.value), c.cv) << c.value;
  }
}
