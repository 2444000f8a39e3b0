// The span of a stats histogram: one dead unit does not widen it, the
// limits always lie inside it; and its ticks are round numbers.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "store/histogram_range.h"

namespace multitone::testing {
namespace {

TEST(HistogramRange, SpansTheLimitsAndTheGoodUnitsNotTheOutliers) {
  std::vector<double> good;
  for (int i = 0; i < 20; ++i) good.push_back(0.99 + 0.001 * i);
  std::vector<double> with_dead = good;
  with_dead.push_back(0);  // a dead channel's level
  struct Case {
    const char* what;
    std::vector<double> values;
    std::optional<double> low_limit, high_limit;
    double must_cover_low, must_cover_high;  // inside the span
    double must_exclude;                     // outside it
  };
  const Case cases[] = {
      {"dead unit, no limits", with_dead, {}, {}, 0.99, 1.009, 0.5},
      {"dead unit, limits", with_dead, 0.95, 1.05, 0.95, 1.05, 0.5},
      {"one limit far off", good, 0.2, {}, 0.2, 1.009, 1.5},
      {"one value", {5}, {}, {}, 5, 5, 6},
      {"no values", {}, 1, 2, 1, 2, 3},
  };
  for (const Case& c : cases) {
    const HistogramRange range = RangeOf(c.values, c.low_limit, c.high_limit);
    EXPECT_LT(range.low, c.must_cover_low) << c.what;
    EXPECT_GT(range.high, c.must_cover_high) << c.what;
    EXPECT_TRUE(c.must_exclude < range.low || c.must_exclude > range.high) << c.what;
  }
}

TEST(HistogramRange, TicksAreRoundSteps) {
  EXPECT_EQ(AxisTicks(0, 1, 5), (std::vector<double>{0, 0.2, 0.4, 0.6, 0.8, 1}));
  EXPECT_EQ(AxisTicks(-76, 3, 5), (std::vector<double>{-60, -40, -20, 0}));
  EXPECT_EQ(AxisTicks(0.741, 0.809, 3), (std::vector<double>{0.76, 0.78, 0.8}));
  EXPECT_TRUE(AxisTicks(1, 1, 5).empty());
}

}  // namespace
}  // namespace multitone::testing
