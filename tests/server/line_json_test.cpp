// The line page's plots are drawn over the limits and the values' robust
// range: one dead unit does not squeeze the others into a line, and the
// limits and control limits are always in view.
#include <gtest/gtest.h>

#include "server/line_json.h"

namespace multitone::server {
namespace {

StationChart Chart(std::vector<double> values, std::optional<double> low, std::optional<double> high,
                   std::vector<double> baseline = {}) {
  StationChart chart;
  chart.unit = "V";
  chart.low = low;
  chart.high = high;
  for (std::size_t i = 0; i < values.size(); ++i) {
    chart.points.push_back({"run-" + std::to_string(i), "2026-11-01T08:00:00.000Z", values[i]});
  }
  chart.baseline = std::move(baseline);
  return chart;
}

TEST(LineJson, ChartAxisHoldsLimitsAndGoodUnitsNotTheDeadOne) {
  std::vector<double> good;
  for (int i = 0; i < 40; ++i) good.push_back(0.775 + 0.0005 * (i % 7 - 3));
  std::vector<double> dead = good;
  dead[17] = 0;  // a dead channel's level
  // Baseline 0.770, 0.780, 0.770: centre 0.7733, sigma 0.01 / 1.128: UCL 0.7999.
  const std::vector<double> wide_baseline = {0.770, 0.780, 0.770};
  struct Case {
    const char* what;
    StationChart chart;
    double cover_low, cover_high;  // must lie on the axis
    double off_axis;               // must not
    double widest;                 // the axis spans no more than this
  };
  const Case cases[] = {
      {"dead unit, limits", Chart(dead, 0.74, 0.81), 0.74, 0.81, 0.5, 0.1},
      {"dead unit, no limits", Chart(dead, {}, {}), 0.7735, 0.7765, 0.5, 0.01},
      {"dead unit, one limit", Chart(dead, {}, 0.81), 0.7735, 0.81, 0.5, 0.05},
      {"control limits beyond the values", Chart(dead, {}, {}, wide_baseline), 0.7468, 0.7998, 0.5, 0.07},
      {"only good units", Chart(good, 0.74, 0.81), 0.74, 0.81, 0.9, 0.1},
  };
  for (const Case& c : cases) {
    const nlohmann::json out = ChartJson({"st-1", "total_level", "left", 0}, c.chart);
    const double low = out["axis"]["low"], high = out["axis"]["high"];
    EXPECT_LT(low, c.cover_low) << c.what;
    EXPECT_GT(high, c.cover_high) << c.what;
    EXPECT_TRUE(c.off_axis < low || c.off_axis > high) << c.what;
    EXPECT_LT(high - low, c.widest) << c.what;
    EXPECT_EQ(out["points"].size(), c.chart.points.size()) << c.what;  // every value is still there
    for (const double tick : out["axis"]["ticks"]) {
      EXPECT_TRUE(tick >= low && tick <= high) << c.what;
    }
    EXPECT_GE(out["axis"]["ticks"].size(), 3u) << c.what;
  }
}

TEST(LineJson, ChartLimitsFromTheNewestAlarmElseTheBaseline) {
  StationChart chart = Chart({1, 2, 3}, {}, {}, {1, 3, 1});
  nlohmann::json out = ChartJson({"st-1", "noise", "left", 0}, chart);
  EXPECT_EQ(out["limits_from"], "baseline");
  EXPECT_NEAR(out["centre"].get<double>(), 5.0 / 3, 1e-12);
  EXPECT_NEAR(out["sigma"].get<double>(), 2 / 1.128, 1e-12);
  StoredAlarm alarm;
  alarm.run_id = "run-2";
  alarm.centre = 1.5;
  alarm.sigma = 0.25;
  chart.alarms = {alarm};
  out = ChartJson({"st-1", "noise", "left", 0}, chart);
  EXPECT_EQ(out["limits_from"], "alarm");
  EXPECT_EQ(out["centre"], 1.5);
  EXPECT_EQ(out["sigma"], 0.25);
  EXPECT_EQ(ChartJson({"st-1", "noise", "left", 0}, Chart({1, 2}, {}, {}))["centre"], nullptr);
}

TEST(LineJson, SummaryCarriesCpkIntervalAndTheStationApart) {
  LineSummary summary;
  FigureSpreads level{"total_level", "left", "V", 0.74, 0.81, {}};
  for (const char* name : {"A", "B", "C"}) level.stations.push_back({name, FigureMoments{50, 0.775, 49e-4}});
  level.stations.push_back({"D", FigureMoments{50, 0.795, 49e-4}});
  summary.figures.push_back(level);
  const nlohmann::json out = LineJson(summary, {"d", "s", "u"});
  const nlohmann::json& figure = out["figures"][0];
  EXPECT_EQ(figure["n"], 200);
  std::vector<bool> apart;
  for (const auto& s : figure["stations"]) apart.push_back(s["stands_out"]);
  EXPECT_EQ(apart, (std::vector<bool>{false, false, false, true}));
  EXPECT_LT(figure["cpk_low"].get<double>(), figure["cpk"].get<double>());
  EXPECT_GT(figure["cpk_high"].get<double>(), figure["cpk"].get<double>());
}

}  // namespace
}  // namespace multitone::server
