// The alarm check on the station's path: alarms raised at the run the rules
// predict, kept with the run exactly once, also when the station starts
// afresh for every unit (as the command line does), when several stations
// share one PostgreSQL server, and when the server is away for a while (the
// spool carries them). A store that cannot be read only skips the check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "line/chart_series.h"
#include "line/station_alarms.h"
#include "station/alarm_check.h"
#include "store/results_store.h"
#include "store/store_unit.h"
#include "store/stored_alarms.h"
#include "support/postgres_server.h"

namespace multitone {
namespace {

constexpr std::size_t kBaseline = 10;

LimitsSource Limits() {
  LimitsSource limits = LoadLimits(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml");
  limits.limits.control.baseline = kBaseline;
  return limits;
}

// A unit whose three charts hold made-up values: steady normal values, and
// from run `drift_from` on a level that climbs 0.3 sigma a run.
UnitResult Unit(const std::string& station, int number, std::mt19937_64& random, int drift_from) {
  std::normal_distribution<double> noise(0, 1);
  UnitResult unit;
  unit.station = station;
  char id[64];
  std::snprintf(id, sizeof id, "%s-%04d", station.c_str(), number);
  unit.run_id = id;
  unit.serial = "SN" + std::to_string(number);
  unit.started_at = std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000 + 10 * number));
  unit.ended_at = unit.started_at + std::chrono::seconds(2);
  unit.limits = Limits();
  unit.judgement.verdict = Verdict::Pass;
  const double drift = number >= drift_from ? 0.3 * (number - drift_from + 1) : 0;
  for (const auto& [figure, channel, tone, centre] :
       {std::tuple{"reference_level", "left", 0, 0.19}, std::tuple{"noise", "right", 0, -90.0},
        std::tuple{"response", "left", 3, -0.02}}) {
    Measurement m;
    m.figure = figure;
    m.channel = channel;
    m.tone = tone;
    m.value = centre + 0.01 * (noise(random) + (std::string(figure) == "reference_level" ? drift : 0));
    unit.judgement.measurements.push_back(m);
  }
  return unit;
}

using AlarmKey = std::tuple<std::string, std::string, std::string, std::string>;  // station, run, chart, rule

// Tests `runs` units on `station`: each checked, kept and forwarded as the
// station does; a fresh check (a new start of the program) every `restart`
// units. Returns the alarms raised.
std::multiset<AlarmKey> TestUnits(const RunStorage& storage, const std::string& station, int runs, int restart,
                                  int drift_from, std::uint64_t seed, std::vector<std::string>* notices = nullptr) {
  std::mt19937_64 random(seed);
  std::multiset<AlarmKey> raised;
  std::optional<AlarmCheck> check;
  for (int n = 0; n < runs; ++n) {
    if (!check || n % restart == 0) check.emplace(storage, station, Limits());
    UnitResult unit = Unit(station, n, random, drift_from);
    const std::string notice = check->Check(unit);
    if (!notice.empty() && notices) notices->push_back(notice);
    EXPECT_EQ(KeepUnit(storage, unit), "") << n;
    check->Kept(unit);
    ForwardKeptRuns(storage);
    for (const UnitAlarm& a : unit.alarms) {
      raised.emplace(a.station, a.run_id, a.channel + " " + a.figure + (a.tone ? " tone 3" : ""), a.rule);
    }
  }
  return raised;
}

// Every alarm of the store, once per row, and those the whole charts give.
std::pair<std::multiset<AlarmKey>, std::multiset<AlarmKey>> StoredAndComputed(const std::string& url) {
  ResultsStore store = ResultsStore::OpenExisting(url);
  std::multiset<AlarmKey> stored, computed;
  for (const AlarmRow& a : ReadAlarms(store.db(), {})) {
    stored.emplace(a.station, a.run_id, a.channel + " " + a.figure + (a.tone ? " tone 3" : ""), a.rule);
  }
  for (const Alarm& a : FindAlarms(ReadChartSeries(store.db(), {}), kBaseline).alarms) {
    computed.emplace(a.station, a.run_id, a.chart, std::string(RuleName(a.rule)));
  }
  return {stored, computed};
}

TEST(AlarmCheck, AStationStartedAfreshForEachUnitRaisesWhatTheWholeChartsGive) {
  const std::string file = ::testing::TempDir() + "/alarm-check.db";
  std::remove(file.c_str());
  const RunStorage storage{"sqlite:" + file, ""};
  // Restarted every unit and every 7 units; drifting from run 30 on.
  const auto each = TestUnits(storage, "st-1", 45, 1, 30, 7);
  const auto seventh = TestUnits(storage, "st-7", 45, 7, 30, 7);
  const auto [stored, computed] = StoredAndComputed(storage.results);
  EXPECT_EQ(stored, computed);
  std::multiset<AlarmKey> raised = each;
  raised.insert(seventh.begin(), seventh.end());
  EXPECT_EQ(raised, stored);
  // The level went beyond 3 sigma on both stations once it drifted, and at
  // no run before.
  for (const std::string station : {"st-1", "st-7"}) {
    std::vector<std::string> runs;
    for (const auto& [s, run, chart, rule] : stored) {
      if (s == station && chart == "left reference_level" && rule == "beyond 3 sigma") runs.push_back(run);
    }
    ASSERT_FALSE(runs.empty()) << station;
    EXPECT_GE(runs.front(), station + "-0030");
  }
}

TEST(AlarmCheck, TwoStationsOnOnePostgresServerAndTheServerAwayForAWhile) {
  testing::PostgresServer server;
  const std::string folder = ::testing::TempDir();
  const RunStorage a{server.Url(), folder + "/spool-a.db"}, b{server.Url(), folder + "/spool-b.db"};
  std::remove(a.spool.c_str());
  std::remove(b.spool.c_str());
  // Two stations at once, each with its own drift.
  std::multiset<AlarmKey> raised_a, raised_b;
  std::thread first([&] { raised_a = TestUnits(a, "st-A", 30, 30, 20, 1); });
  std::thread second([&] { raised_b = TestUnits(b, "st-B", 30, 5, 24, 2); });
  first.join();
  second.join();
  {
    const auto [stored, computed] = StoredAndComputed(server.Url());
    std::multiset<AlarmKey> raised = raised_a;
    raised.insert(raised_b.begin(), raised_b.end());
    EXPECT_EQ(stored, raised);
    EXPECT_EQ(stored, computed);
    EXPECT_GT(raised_a.size(), 0u);
    EXPECT_GT(raised_b.size(), 0u);
  }

  // The server goes away: station A's charts are in memory, its runs and
  // alarms wait in the spool; a station started now skips the check with a
  // notice and keeps its units' verdicts.
  std::mt19937_64 random(3);
  AlarmCheck running(a, "st-A", Limits());
  std::vector<UnitResult> later;
  for (int n = 30; n < 34; ++n) {
    later.push_back(Unit("st-A", n, random, 20));
    // Read while the server is there, then checked from memory.
    if (n == 31) server.Stop();
    EXPECT_EQ(running.Check(later.back()), "") << n;
    EXPECT_EQ(KeepUnit(a, later.back()), "");
    running.Kept(later.back());
    EXPECT_EQ(ForwardKeptRuns(a).empty(), n == 30) << n;  // then kept locally only
  }
  std::size_t waiting = 0;
  for (const UnitResult& unit : later) waiting += unit.alarms.size();
  EXPECT_GT(waiting, 0u);  // the level is far out by now
  {
    AlarmCheck started(a, "st-A", Limits());
    std::mt19937_64 other(4);
    UnitResult unit = Unit("st-A", 99, other, 20);
    EXPECT_THAT(started.Check(unit), ::testing::HasSubstr("alarm check skipped"));
    EXPECT_TRUE(unit.alarms.empty());
    EXPECT_EQ(unit.judgement.verdict, Verdict::Pass);
  }

  server.Start();
  EXPECT_EQ(ForwardKeptRuns(a), "");
  EXPECT_EQ(ForwardKeptRuns(a), "");  // nothing twice
  ResultsStore store = ResultsStore::OpenExisting(server.Url());
  for (const UnitResult& unit : later) {
    AlarmFilter filter;
    filter.run_id = unit.run_id;
    EXPECT_EQ(ReadAlarms(store.db(), filter).size(), unit.alarms.size()) << unit.run_id;
  }
  const auto [stored, computed] = StoredAndComputed(server.Url());
  EXPECT_EQ(stored, computed);
}

}  // namespace
}  // namespace multitone
