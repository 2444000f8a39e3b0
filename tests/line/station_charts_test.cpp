// A station's charts extended one run at a time raise exactly the alarms the
// run rules give over each whole chart, and a steady station raises no more
// than the rules' false-alarm rate allows.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

#include "line/control_chart.h"
#include "line/station_charts.h"

namespace multitone {
namespace {

constexpr int kCharts = 20;  // tones 1 to 20 of one made-up figure
constexpr int kRuns = 1000;
constexpr std::size_t kBaseline = 20;

UnitResult UnitOf(int number, const std::vector<double>& values) {
  UnitResult unit;
  unit.run_id = "run-" + std::to_string(number);
  for (int tone = 1; tone <= kCharts; ++tone) {
    Measurement m;
    m.figure = "response";
    m.channel = "left";
    m.tone = tone;
    m.value = values[static_cast<std::size_t>(tone - 1)];
    unit.judgement.measurements.push_back(m);
  }
  return unit;
}

// P(a normal value lies above x).
double Above(double x, double mean, double sd) { return 0.5 * std::erfc((x - mean) / (sd * std::sqrt(2.0))); }

// The chance that a point of a steady normal chart (mean, sd) completes a
// rule's pattern, all rules counted apart (as they are raised), given the
// chart's centre and sigma as its baseline drew them; a point beyond k
// sigma on one side is p_k:
//   beyond 3 sigma           p_3 (each side)
//   2 of 3 beyond 2 sigma    p_2 × (1 - (1 - p_2)²)  (this point and one of the two before)
//   4 of 5 beyond 1 sigma    p_1 × P(at least 3 of the 4 before beyond 1 sigma)
//   8 in a row on one side   p_0^8
//   6 in a row trending      2 / 6!  (5 rises or 5 falls in a row, whatever the limits)
// An upper bound: a rule that just fired does not count the same points again.
double FalseAlarmRate(const ChartLimits& limits, double mean, double sd) {
  double rate = 2.0 / 720.0;
  for (const int side : {1, -1}) {
    auto beyond = [&](double k) {
      const double bound = limits.centre + side * k * limits.sigma;
      return side > 0 ? Above(bound, mean, sd) : 1.0 - Above(bound, mean, sd);
    };
    const double p3 = beyond(3), p2 = beyond(2), p1 = beyond(1), p0 = beyond(0);
    rate += p3 + p2 * (1 - (1 - p2) * (1 - p2)) +
            p1 * (4 * p1 * p1 * p1 * (1 - p1) + p1 * p1 * p1 * p1) + std::pow(p0, 8);
  }
  return rate;
}

TEST(StationCharts, OneRunAtATimeRaisesWhatTheWholeChartsGive) {
  // Steady normal values; the last 100 runs drift by 0.05 sigma a run, so
  // every rule fires now and then and the memory of past firings matters.
  std::mt19937_64 random(24);
  std::normal_distribution<double> noise(10.0, 0.5);
  std::vector<std::vector<double>> charts(kCharts);
  ControlSettings control;
  control.baseline = kBaseline;
  StationCharts station("st", control);
  std::set<std::tuple<int, int, std::string>> raised;  // run, tone, rule
  for (int run = 0; run < kRuns; ++run) {
    std::vector<double> values;
    for (int c = 0; c < kCharts; ++c) {
      values.push_back(noise(random) + (run >= kRuns - 100 ? 0.025 * (run - (kRuns - 100)) : 0.0));
      charts[static_cast<std::size_t>(c)].push_back(values.back());
    }
    for (const UnitAlarm& alarm : station.Add(UnitOf(run, values))) {
      EXPECT_EQ(alarm.run_id, "run-" + std::to_string(run));
      EXPECT_TRUE(raised.emplace(run, alarm.tone, alarm.rule).second) << "twice: " << alarm.rule;
    }
  }
  std::set<std::tuple<int, int, std::string>> whole;
  std::size_t steady_alarms = 0;
  double expected = 0;  // steady alarms the rules' false-alarm rates give
  for (int c = 0; c < kCharts; ++c) {
    const auto& values = charts[static_cast<std::size_t>(c)];
    const auto limits = BaselineLimits(std::span(values).first(kBaseline));
    ASSERT_TRUE(limits);
    for (const RuleFiring& firing : CheckRunRules(values, *limits, kBaseline)) {
      whole.emplace(static_cast<int>(firing.index), c + 1, std::string(RuleName(firing.rule)));
      steady_alarms += firing.index < kRuns - 100 ? 1 : 0;
    }
    expected += FalseAlarmRate(*limits, 10.0, 0.5) * (kRuns - 100 - kBaseline);
  }
  EXPECT_EQ(raised, whole);
  // The expectation leans high (a rule that fired does not count the same
  // points again), and firings come in clusters, so the count spreads wider
  // than a Poisson count: at most a quarter above it (and a rule set that
  // stays silent, at least half of it).
  EXPECT_LE(static_cast<double>(steady_alarms), 1.25 * expected) << expected;
  EXPECT_GE(static_cast<double>(steady_alarms), 0.5 * expected) << expected;
  EXPECT_GT(raised.size(), steady_alarms);  // the drift raised alarms of its own
}

TEST(StationCharts, StatedLimitsCheckFromTheFirstRunAndAFlatBaselineNever) {
  ControlSettings control;
  control.baseline = 5;
  control.stated["left response tone 1"] = {10.0, 0.1};
  StationCharts station("st", control);
  std::vector<UnitAlarm> first;
  for (int run = 0; run < 8; ++run) {
    std::vector<double> values(kCharts, 7.0);  // flat: no spread in any baseline
    values[0] = run == 0 ? 11.0 : 10.0;
    const auto alarms = station.Add(UnitOf(run, values));
    if (run == 0) first = alarms;
    else EXPECT_TRUE(alarms.empty()) << run;
  }
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].rule, "beyond 3 sigma");
  EXPECT_EQ(first[0].tone, 1);
  EXPECT_EQ(first[0].centre, 10.0);
  EXPECT_EQ(first[0].sigma, 0.1);
}

}  // namespace
}  // namespace multitone
