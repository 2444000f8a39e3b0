// The individuals chart and its run rules on short sequences worked out by
// hand, and the alarms they become over a store's series.
#include <gtest/gtest.h>

#include <vector>

#include "line/control_chart.h"
#include "line/station_alarms.h"

namespace multitone {
namespace {

TEST(BaselineLimits, CentreIsTheMeanAndSigmaTheMeanMovingRangeOverD2) {
  // 10 12 11 13 12: mean 58 / 5 = 11.6; moving ranges 2 1 2 1, mean 1.5;
  // sigma 1.5 / 1.128 = 1.32979.
  const std::vector<double> baseline = {10, 12, 11, 13, 12};
  const auto limits = BaselineLimits(baseline);
  ASSERT_TRUE(limits);
  EXPECT_DOUBLE_EQ(limits->centre, 11.6);
  EXPECT_NEAR(limits->sigma, 1.329787, 1e-6);

  EXPECT_FALSE(BaselineLimits(std::vector<double>{4.0}));         // no moving range
  EXPECT_FALSE(BaselineLimits(std::vector<double>{5, 5, 5, 5}));  // no spread
}

TEST(RunRules, EachRuleFiresAtThePointThatCompletesItsPattern) {
  struct Case {
    const char* what;
    std::vector<double> values;  // in sigmas from the centre (centre 0, sigma 1)
    std::size_t first;
    std::vector<RuleFiring> expected;
  };
  using R = RunRule;
  const Case cases[] = {
      {"steady", {0.3, -0.4, 0.8, -0.9, 0.1, -0.2, 0.6, -0.5, 0.4, -0.7, 0.2, -0.1}, 0, {}},
      {"beyond 3 above", {0, 0.5, -0.5, 3.5}, 0, {{3, R::BeyondThreeSigma}}},
      {"beyond 3 below", {0, -3.2}, 0, {{1, R::BeyondThreeSigma}}},
      {"on 3 is not beyond", {3.0, -3.0}, 0, {}},
      // Window [1..3] = -2.5 0.5 -2.5: two below -2.
      {"2 of 3 below 2", {2.5, -2.5, 0.5, -2.5}, 0, {{3, R::TwoOfThreeBeyondTwo}}},
      {"2 beyond 2 on opposite sides", {2.5, -2.5}, 0, {}},
      // [0..4] = four above 1; at 3 only three of four.
      {"4 of 5 above 1", {1.5, 1.5, 0.2, 1.5, 1.5}, 0, {{4, R::FourOfFiveBeyondOne}}},
      {"8 above the centre", {0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2}, 0, {{7, R::EightOnOneSide}}},
      {"a point on the centre breaks the row", {0.5, 0.2, 0.5, 0, 0.5, 0.2, 0.5, 0.2, 0.5}, 0, {}},
      // After firing at 7 the rule counts from 8: the next row ends at 15.
      {"16 above fire twice",
       {0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2, 0.5, 0.2},
       0,
       {{7, R::EightOnOneSide}, {15, R::EightOnOneSide}}},
      {"6 rising", {-0.5, -0.4, -0.3, -0.2, -0.1, 0.0}, 0, {{5, R::SixTrending}}},
      {"6 falling", {0.5, 0.4, 0.3, 0.2, 0.1, 0.05}, 0, {{5, R::SixTrending}}},
      {"a tie breaks the trend", {-0.5, -0.4, -0.4, -0.3, -0.2, -0.1, 0.0}, 0, {}},
      // Both points beyond 3; the second also makes 2 of 3 beyond 2.
      {"two rules at one point", {3.5, 3.5}, 0,
       {{0, R::BeyondThreeSigma}, {1, R::BeyondThreeSigma}, {1, R::TwoOfThreeBeyondTwo}}},
      // The baseline (before index 2) completes a pattern but never fires.
      {"baseline completes, point 3 fires", {2.5, 2.5, 0, 2.5}, 2, {{3, R::TwoOfThreeBeyondTwo}}},
      {"nothing fires inside the baseline", {3.5, 3.5}, 2, {}},
  };
  for (const Case& c : cases) {
    const auto firings = CheckRunRules(c.values, ChartLimits{0, 1}, c.first);
    ASSERT_EQ(firings.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < firings.size(); ++i) {
      EXPECT_EQ(firings[i].index, c.expected[i].index) << c.what << " #" << i;
      EXPECT_EQ(firings[i].rule, c.expected[i].rule) << c.what << " #" << i;
    }
  }
}

TEST(RunRules, ZonesScaleWithTheLimits) {
  // Centre 100, sigma 2: 106.5 is 3.25 sigma above, 105.5 only 2.75.
  const std::vector<double> values = {100, 105.5, 99, 106.5};
  const auto firings = CheckRunRules(values, ChartLimits{100, 2}, 0);
  ASSERT_EQ(firings.size(), 2u);
  EXPECT_EQ(firings[0].index, 3u);
  EXPECT_EQ(firings[0].rule, RunRule::BeyondThreeSigma);
  EXPECT_EQ(firings[1].rule, RunRule::TwoOfThreeBeyondTwo);  // 105.5 and 106.5 beyond 104
}

// Runs 0, 1, ... judged against limits file "A" up to `change`, "B" after.
ChartSeries Series(const std::string& station, const std::string& channel, std::vector<double> values,
                   std::size_t change = 100) {
  ChartSeries s{station, "reference_level", channel, 0, {}};
  for (std::size_t i = 0; i < values.size(); ++i) {
    s.points.push_back({"run" + std::to_string(i), "2026-12-07T10:00:" + std::string(i < 10 ? "0" : "") +
                                                       std::to_string(i) + ".000Z",
                        values[i], i < change ? "A" : "B"});
  }
  return s;
}

TEST(FindAlarms, NamesStationChartRuleAndRunFromTheBaselineOrStatedLimits) {
  // Baseline 1 2 1 2: centre 1.5, sigma 1 / 1.128 = 0.8865; 5 is 3.9 sigma above.
  const std::vector<ChartSeries> series = {
      Series("st1", "left", {1, 2, 1, 2, 1.5, 5}),
      Series("st2", "right", {1, 2, 1}),  // still within a baseline of 4
  };
  const LineAlarms found = FindAlarms(series, 4);
  EXPECT_EQ(found.charts, 2u);
  EXPECT_EQ(found.waiting, 1u);
  ASSERT_EQ(found.alarms.size(), 1u);
  EXPECT_EQ(found.alarms[0].station, "st1");
  EXPECT_EQ(found.alarms[0].chart, "left reference_level");
  EXPECT_EQ(found.alarms[0].rule, RunRule::BeyondThreeSigma);
  EXPECT_EQ(found.alarms[0].run_id, "run5");
  EXPECT_EQ(found.alarms[0].started_at, "2026-12-07T10:00:05.000Z");

  // Stated centre 1.5, sigma 0.1: every point is checked, 1 and 2 are 5 sigma out.
  const LineAlarms stated = FindAlarms(series, 4, {{"right reference_level", ChartLimits{1.5, 0.1}}});
  EXPECT_EQ(stated.waiting, 0u);
  std::size_t on_st2 = 0;
  for (const Alarm& a : stated.alarms) on_st2 += a.station == "st2" && a.rule == RunRule::BeyondThreeSigma;
  EXPECT_EQ(on_st2, 3u);
}

TEST(FindAlarms, ANewLimitsFileStartsTheChartAfresh) {
  // Limits A: 1 2 1 2 (centre 1.5). Limits B from run 4: 11 12 11 12 is a
  // new baseline (centre 11.5, sigma 0.8865), so 11.5 raises nothing;
  // 15 is 3.95 sigma above 11.5: beyond 3 sigma at run 9.
  const LineAlarms found = FindAlarms({Series("st1", "left", {1, 2, 1, 2, 11, 12, 11, 12, 11.5, 15}, 4)}, 4);
  ASSERT_EQ(found.alarms.size(), 1u);
  EXPECT_EQ(found.alarms[0].run_id, "run9");
  EXPECT_EQ(found.alarms[0].rule, RunRule::BeyondThreeSigma);
  EXPECT_DOUBLE_EQ(found.alarms[0].limits.centre, 11.5);
  EXPECT_EQ(found.waiting, 0u);
  // The same values under one limits file: 11 is far beyond 1.5 + 3 sigma.
  const LineAlarms one = FindAlarms({Series("st1", "left", {1, 2, 1, 2, 11, 12, 11, 12, 11.5, 15})}, 4);
  EXPECT_EQ(one.alarms.front().run_id, "run4");
  // A change with only a baseline's worth after it waits.
  EXPECT_EQ(FindAlarms({Series("st1", "left", {1, 2, 1, 2, 1.5, 11, 12, 11}, 5)}, 4).waiting, 1u);
}

}  // namespace
}  // namespace multitone
