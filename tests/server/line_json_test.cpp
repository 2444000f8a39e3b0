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
  // A baseline given is a complete one.
  if (!baseline.empty()) chart.control.baseline = baseline.size();
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

// The control limits the station judges by: stated in the newest limits
// file, else its complete baseline's, else the newest alarm's.
TEST(LineJson, ChartLimitsAreTheStationsOwn) {
  StoredAlarm alarm;
  alarm.run_id = "run-2";
  alarm.centre = 1.5;
  alarm.sigma = 0.25;
  struct Case {
    const char* what;
    bool stated, complete_baseline, with_alarm;
    const char* from;
    double centre, sigma;
  };
  const Case cases[] = {
      {"stated beats all", true, true, true, "stated", 1.75, 0.5},
      {"complete baseline beats an alarm", false, true, true, "baseline", 5.0 / 3, 2 / 1.128},
      {"complete baseline", false, true, false, "baseline", 5.0 / 3, 2 / 1.128},
      {"baseline not complete: the alarm's", false, false, true, "alarm", 1.5, 0.25},
      {"nothing yet", false, false, false, "none", 0, 0},
  };
  for (const Case& c : cases) {
    StationChart chart = Chart({1, 2, 3}, {}, {}, {1, 3, 1});
    if (!c.complete_baseline) chart.control.baseline = 4;
    if (c.stated) chart.control.stated["left noise"] = {1.75, 0.5};
    chart.control.stated["right noise"] = {9, 9};  // another chart's
    if (c.with_alarm) chart.alarms = {alarm};
    const nlohmann::json out = ChartJson({"st-1", "noise", "left", 0}, chart);
    EXPECT_EQ(out["limits_from"], c.from) << c.what;
    EXPECT_EQ(out["baseline_runs"], chart.control.baseline) << c.what;
    if (std::string(c.from) == "none") {
      EXPECT_EQ(out["centre"], nullptr) << c.what;
      continue;
    }
    EXPECT_NEAR(out["centre"].get<double>(), c.centre, 1e-12) << c.what;
    EXPECT_NEAR(out["sigma"].get<double>(), c.sigma, 1e-12) << c.what;
  }
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
