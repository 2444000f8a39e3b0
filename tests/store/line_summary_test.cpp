// The line page's numbers from a small line worked out by hand, on both
// engines: the day's and the shift's yields and first-pass yields per
// station, the failing figures, the spread per station and figure, the
// alarms, and one station's chart with its baseline. Golden runs and the
// day before count nowhere. The store is read through a read-only
// connection, which refuses to write.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "store/line_summary.h"
#include "store/read_only_store.h"
#include "store/results_store.h"
#include "store/station_chart.h"
#include "store/store_fixture.h"

namespace multitone::testing {
namespace {

using LineSummaryTest = StoreOnEngine;

// "01T03:00:00" is on 1 November, "00T23:00:00" the evening before.
std::string At(const std::string& day_time) {
  if (day_time.rfind("00T", 0) == 0) return "2026-10-31" + day_time.substr(2) + ".000Z";
  return "2026-11-" + day_time + ".000Z";
}

StoredRun Run(const char* id, const char* serial, const char* station, const char* time,
              const char* verdict, std::optional<double> level, double snr = 90,
              const char* limits = "y", const char* purpose = "production") {
  StoredRun run;
  run.run_id = id;
  run.serial = serial;
  run.station = station;
  run.started_at = run.ended_at = At(time);
  run.analyzer = "sim";
  run.program_version = "1";
  run.limits_sha256 = std::string(64, limits[0]);
  // Charts draw their limits from the first two runs of a limits file.
  run.limits_content = std::string("# limits ") + limits + "\n[control]\nbaseline = 2\n";
  run.verdict = verdict;
  run.result_json = "{}";
  run.purpose = purpose;
  if (level) {
    const bool level_fails = *level < 0.74 || *level > 0.81;
    const bool judged = std::string(verdict) != "NOT_JUDGED";
    run.measurements.push_back({"total_level", "left", 0, {}, {}, *level, "V", 0.74, 0.81,
                                judged ? (level_fails ? "FAIL" : "PASS") : ""});
    run.measurements.push_back({"signal_to_noise", "left", 0, {}, {}, snr, "dB", 86, {},
                                judged ? (snr < 86 ? "FAIL" : "PASS") : ""});
  }
  return run;
}

void PutLine(const std::string& url) {
  ResultsStore store = ResultsStore::Open(url);
  store.Put(std::vector<StoredRun>{
      Run("a1", "SN1", "A", "01T03:00:00", "PASS", 0.770, 90, "x"),
      Run("a2", "SN2", "A", "01T04:00:00", "FAIL", 0.700, 90, "x"),
      Run("a3", "SN2", "A", "01T07:00:00", "PASS", 0.775),
      Run("a4", "SN3", "A", "01T08:00:00", "PASS", 0.780),
      Run("a5", "SN4", "A", "01T09:00:00", "FAIL", 0.500, 90, "y", "golden"),
      Run("a6", "SN11", "A", "01T15:00:00", "FAIL", 0.820),
      Run("b1", "SN5", "B", "01T05:00:00", "PASS", 0.772),
      Run("b2", "SN6", "B", "01T10:00:00", "FAIL", 0.776, 80),
      Run("b3", "SN1", "B", "01T11:00:00", "PASS", 0.774),
      Run("c1", "SN7", "C", "01T12:00:00", "ERROR", std::nullopt),
      Run("c2", "SN8", "C", "01T13:00:00", "PASS", 0.790),
      Run("c3", "SN9", "C", "00T23:00:00", "PASS", 0.500),  // the day before
      Run("c4", "SN10", "C", "01T14:00:00", "NOT_JUDGED", 0.785),
  });
  // What the station's alarms would have written.
  const std::string insert =
      "INSERT INTO alarms (run_id, station, figure, channel, tone, rule, raised_at, value, centre, sigma, "
      "acknowledged_by, acknowledged_at) VALUES ($1, $2, 'total_level', 'left', 0, $3, " +
      std::string(store.engine() == Engine::Postgres ? "CAST($4 AS TIMESTAMPTZ)" : "$4") +
      ", 0.77, 0.775, 0.002, $5, " + (store.engine() == Engine::Postgres ? "CAST($6 AS TIMESTAMPTZ)" : "$6") + ")";
  const SqlValue none;
  store.db().Execute(insert, {"b3", "B", "beyond 3 sigma", At("01T11:00:01"), none, none});
  store.db().Execute(insert, {"c3", "C", "beyond 3 sigma", At("00T23:00:01"), "ann", At("00T23:30:00")});
  store.db().Execute(insert, {"c3", "C", "8 in a row on one side", At("00T23:00:01"), none, none});
  store.db().Execute(insert, {"a4", "A", "6 in a row trending", At("01T08:00:01"), none, none});
  store.db().Execute(insert, {"a1", "A", "beyond 3 sigma", At("01T03:00:01"), none, none});
}

const LinePeriods kPeriods{At("01T00:00:00"), At("01T06:00:00"), At("02T00:00:00")};

TEST_P(LineSummaryTest, NumbersOfAHandCheckedLine) {
  PutLine(Url());
  const auto db = OpenStoreReadOnly(Url());
  const LineSummary summary = ReadLineSummary(*db, kPeriods);

  struct Expected {
    const char* station;
    std::size_t runs, judged, passed, errors, serials, first_judged, first_passed;
  };
  // Day: A's SN2 was first seen failing; B's SN1 had its first run on A;
  // C's NOT_JUDGED run is no judgement. Shift (from 06:00): SN2's retest
  // and SN1 on B are their serials' first runs of the shift.
  const Expected day[] = {{"A", 5, 5, 3, 0, 4, 4, 2}, {"B", 3, 3, 2, 0, 2, 2, 1}, {"C", 3, 2, 1, 1, 3, 2, 1}};
  const Expected shift[] = {{"A", 3, 3, 2, 0, 3, 3, 2}, {"B", 2, 2, 1, 0, 2, 2, 1}, {"C", 3, 2, 1, 1, 3, 2, 1}};
  ASSERT_EQ(summary.stations.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const StationYield& got = summary.stations[i];
    for (const auto& [counts, want, period] :
         {std::tuple{got.day, day[i], "day"}, std::tuple{got.shift, shift[i], "shift"}}) {
      SCOPED_TRACE(std::string(want.station) + " " + period);
      EXPECT_EQ(got.station, want.station);
      EXPECT_EQ(counts.runs, want.runs);
      EXPECT_EQ(counts.judged, want.judged);
      EXPECT_EQ(counts.passed, want.passed);
      EXPECT_EQ(counts.errors, want.errors);
      EXPECT_EQ(counts.serials, want.serials);
      EXPECT_EQ(counts.first_judged, want.first_judged);
      EXPECT_EQ(counts.first_passed, want.first_passed);
      EXPECT_DOUBLE_EQ(*counts.yield, double(want.passed) / double(want.judged));
      EXPECT_DOUBLE_EQ(*counts.first_pass_yield, double(want.first_passed) / double(want.first_judged));
    }
  }

  ASSERT_EQ(summary.pareto.size(), 2u);  // the golden run's failure is not there
  EXPECT_EQ(summary.pareto[0].figure, "total_level");
  EXPECT_EQ(summary.pareto[0].runs, 2u);
  EXPECT_EQ(summary.pareto[1].figure, "signal_to_noise");
  EXPECT_EQ(summary.pareto[1].runs, 1u);

  ASSERT_EQ(summary.figures.size(), 2u);
  const FigureSpreads& level = summary.figures[1];
  EXPECT_EQ(level.figure, "total_level");
  EXPECT_EQ(level.unit, "V");
  EXPECT_EQ(level.low, 0.74);
  EXPECT_EQ(level.high, 0.81);
  struct Spread {
    const char* station;
    std::size_t n;
    double mean, squares;
  };
  // A: .770 .700 .775 .780 .820; B: .772 .776 .774; C: .790 .785.
  const Spread spreads[] = {{"A", 5, 0.769, 0.00752}, {"B", 3, 0.774, 8e-6}, {"C", 2, 0.7875, 1.25e-5}};
  ASSERT_EQ(level.stations.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(level.stations[i].first, spreads[i].station);
    EXPECT_EQ(level.stations[i].second.n, spreads[i].n);
    EXPECT_NEAR(level.stations[i].second.mean, spreads[i].mean, 1e-12);
    EXPECT_NEAR(level.stations[i].second.squares, spreads[i].squares, 1e-12);
  }

  // Today's alarms and the older one not acknowledged, newest first.
  std::vector<std::string> alarms;
  for (const StoredAlarm& a : summary.alarms) alarms.push_back(a.station + " " + a.rule + " " + a.run_id);
  EXPECT_EQ(alarms, (std::vector<std::string>{"B beyond 3 sigma b3", "A 6 in a row trending a4",
                                              "A beyond 3 sigma a1", "C 8 in a row on one side c3"}));
  EXPECT_EQ(summary.alarms[0].raised_at, At("01T11:00:01"));
  EXPECT_EQ(summary.alarms[0].acknowledged_at, "");

  // Over each station's newest three: A's a3, a4 and a6 (a5 is golden).
  const FigureSpreads newest = ReadLineSummary(*db, kPeriods, 3).figures[1];
  EXPECT_EQ(newest.stations[0].second.n, 3u);
  EXPECT_NEAR(newest.stations[0].second.mean, (0.775 + 0.780 + 0.820) / 3, 1e-12);
  EXPECT_EQ(newest.stations[1].second.n, 3u);

  EXPECT_THROW(db->Execute("DELETE FROM alarms"), StoreError);
}

TEST_P(LineSummaryTest, StationChartWithItsBaselineAndAlarms) {
  PutLine(Url());
  const auto db = OpenStoreReadOnly(Url());
  const StationChart chart = ReadStationChart(*db, {"A", "total_level", "left", 0}, 3);
  EXPECT_EQ(chart.control.baseline, 2u);  // the newest run's limits file's
  std::vector<std::string> runs;
  for (const auto& p : chart.points) runs.push_back(p.run_id);
  EXPECT_EQ(runs, (std::vector<std::string>{"a3", "a4", "a6"}));  // not the golden a5
  EXPECT_EQ(chart.points.back().value, 0.820);
  EXPECT_EQ(chart.points.front().started_at, At("01T07:00:00"));
  EXPECT_EQ(chart.unit, "V");
  EXPECT_EQ(chart.high, 0.81);
  // The limits changed after a2: the baseline starts at a3.
  EXPECT_EQ(chart.baseline, (std::vector<double>{0.775, 0.780}));
  ASSERT_EQ(chart.alarms.size(), 1u);  // a1's is older than the points shown
  EXPECT_EQ(chart.alarms[0].run_id, "a4");
  EXPECT_EQ(chart.alarms[0].rule, "6 in a row trending");

  const StationChart whole = ReadStationChart(*db, {"C", "total_level", "left", 0}, 10);
  EXPECT_EQ(whole.points.size(), 3u);  // c3 (the day before) too: a chart is not of one day
  EXPECT_EQ(whole.baseline, (std::vector<double>{0.500, 0.790}));
  EXPECT_TRUE(ReadStationChart(*db, {"A", "noise", "left", 0}, 10).points.empty());
}

TEST_P(LineSummaryTest, MissingOrForeignStoreIsRefusedUntouched) {
  EXPECT_THROW(OpenStoreReadOnly(Url()), StoreError);
  if (GetParam() == Engine::Sqlite) {
    EXPECT_FALSE(std::filesystem::exists(folder_ / "results.db"));
  }
}

INSTANTIATE_TEST_SUITE_P(Store, LineSummaryTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace multitone::testing
