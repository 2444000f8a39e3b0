// The figures of `multitone stats` against the same figures computed here,
// straight from the made-up runs, with the same filter on both engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "store/results_store.h"
#include "store/run_stats.h"
#include "store/store_fixture.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

using StatsTest = StoreOnEngine;

void ExpectClose(double got, double want, const std::string& what) {
  EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::abs(want))) << what;
}

TEST_P(StatsTest, FiguresMatchThoseComputedFromTheRuns) {
  // 400 runs over two stations; units tested up to three times, retests
  // coming later than first tests.
  std::mt19937_64 random(11);
  std::vector<StoredRun> runs;
  for (int i = 0; i < 400; ++i) {
    const std::string serial = "SN-" + std::to_string(i % 170);
    runs.push_back(SyntheticRun("run-" + std::to_string(i), serial, 60L * i, random,
                                i % 3 == 0 ? "station-2" : "station-1"));
  }
  runs[5].verdict = "MARGINAL";
  runs[6].verdict = "ERROR";
  runs[7].verdict = "NOT_JUDGED";
  ResultsStore store = ResultsStore::Open(Url());
  store.Put(runs);

  RunFilter filter;
  filter.station = "station-1";
  filter.since = IsoTime(60L * 3);
  filter.until = IsoTime(60L * 350);
  const RunStats stats = ComputeStats(store.db(), filter);

  // The same, computed here.
  std::vector<const StoredRun*> selected;
  for (const StoredRun& run : runs) {
    if (run.station == filter.station && run.started_at >= filter.since &&
        run.started_at < filter.until) {
      selected.push_back(&run);
    }
  }
  std::map<std::string, std::size_t> verdicts;
  std::map<std::string, const StoredRun*> first;  // serial -> first run
  for (const StoredRun* run : selected) {
    ++verdicts[run->verdict];
    if (!first.count(run->serial)) first[run->serial] = run;  // runs are in time order
  }
  const double judged = static_cast<double>(selected.size() - verdicts["NOT_JUDGED"]);
  double first_judged = 0, first_passed = 0;
  for (const auto& [serial, run] : first) {
    first_judged += run->verdict != "NOT_JUDGED";
    first_passed += run->verdict == "PASS" || run->verdict == "MARGINAL";
  }
  EXPECT_EQ(stats.runs, selected.size());
  EXPECT_EQ(stats.pass, verdicts["PASS"]);
  EXPECT_EQ(stats.marginal, verdicts["MARGINAL"]);
  EXPECT_EQ(stats.fail, verdicts["FAIL"]);
  EXPECT_EQ(stats.error, verdicts["ERROR"]);
  EXPECT_EQ(stats.not_judged, verdicts["NOT_JUDGED"]);
  ASSERT_TRUE(stats.yield && stats.first_pass_yield);
  ExpectClose(*stats.yield, (verdicts["PASS"] + verdicts["MARGINAL"]) / judged, "yield");
  EXPECT_EQ(stats.serials, first.size());
  ExpectClose(*stats.first_pass_yield, first_passed / first_judged, "first-pass yield");

  std::map<std::pair<std::string, std::string>, std::vector<double>> values;
  std::map<std::pair<std::string, std::string>, std::size_t> fails;
  for (const StoredRun* run : selected) {
    std::set<std::pair<std::string, std::string>> failed;
    for (const StoredMeasurement& m : run->measurements) {
      if (m.tone == 0 && m.value) values[{m.figure, m.channel}].push_back(*m.value);
      if (m.outcome == "FAIL") failed.insert({m.figure, m.channel});
    }
    for (const auto& key : failed) ++fails[key];
  }
  const StoredRun& newest = *selected.back();
  ASSERT_EQ(stats.figures.size(), values.size());
  for (const FigureStats& f : stats.figures) {
    const std::string what = f.channel + " " + f.figure;
    const auto& v = values[{f.figure, f.channel}];
    double mean = 0;
    for (const double x : v) mean += x / static_cast<double>(v.size());
    double squares = 0;
    for (const double x : v) squares += (x - mean) * (x - mean);
    const double sigma = std::sqrt(squares / static_cast<double>(v.size() - 1));
    EXPECT_EQ(f.n, v.size()) << what;
    ExpectClose(f.mean, mean, what + " mean");
    ExpectClose(f.stddev, sigma, what + " stddev");
    ExpectClose(f.min, *std::min_element(v.begin(), v.end()), what + " min");
    ExpectClose(f.max, *std::max_element(v.begin(), v.end()), what + " max");
    const auto limit = std::find_if(newest.measurements.begin(), newest.measurements.end(),
                                    [&](const auto& m) { return m.figure == f.figure && m.channel == f.channel && m.tone == 0; });
    ASSERT_NE(limit, newest.measurements.end());
    if (!limit->low && !limit->high) {
      EXPECT_FALSE(f.cpk) << what;
      continue;
    }
    const double to_low = limit->low ? mean - *limit->low : INFINITY;
    const double to_high = limit->high ? *limit->high - mean : INFINITY;
    ASSERT_TRUE(f.cpk) << what;
    ExpectClose(*f.cpk, std::min(to_low, to_high) / (3 * sigma), what + " Cpk");
  }
  ASSERT_FALSE(stats.most_failing.empty());
  std::size_t most = 0;
  for (const auto& [key, n] : fails) most = std::max(most, n);
  EXPECT_EQ(stats.most_failing.front().runs, most);
  const FailCount& top = stats.most_failing.front();
  EXPECT_EQ(fails[std::pair(top.figure, top.channel)], most);
}

INSTANTIATE_TEST_SUITE_P(Store, StatsTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

}  // namespace
}  // namespace multitone::testing
