// What the line reads from the store is the same on SQLite and PostgreSQL:
// the same made-up runs stored in both give the same chart series and the
// same study table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include <unistd.h>

#include "line/chart_series.h"
#include "line/study_runs.h"
#include "store/results_store.h"
#include "support/postgres_server.h"
#include "support/synthetic_runs.h"
#include "verdict/chart_name.h"

namespace multitone::testing {
namespace {

using SeriesKey = std::tuple<std::string, std::string, std::string, int>;

std::map<SeriesKey, std::vector<std::tuple<std::string, std::string, double>>> ByKey(
    const std::vector<ChartSeries>& series) {
  std::map<SeriesKey, std::vector<std::tuple<std::string, std::string, double>>> keyed;
  for (const ChartSeries& s : series) {
    auto& points = keyed[{s.station, s.figure, s.channel, s.tone}];
    EXPECT_TRUE(points.empty()) << "two series for " << ChartName(s.figure, s.channel, s.tone) << " of " << s.station;
    for (const ChartPoint& p : s.points) points.emplace_back(p.run_id, p.started_at, p.value);
  }
  return keyed;
}

TEST(LineOnBothEngines, ChartSeriesAndStudyTablesAreTheSame) {
  // 3 parts × 2 operators × 2 trials on each of two stations, 24 runs, a
  // second apart; run ids are given in an order unlike their times.
  std::mt19937_64 random(24);
  std::vector<StoredRun> runs;
  long second = 0;
  for (const char* station : {"st-b", "st-a"}) {
    for (const char* part : {"P1", "P2", "P3"}) {
      for (const char* appraiser : {"kim", "lee"}) {
        for (int trial = 0; trial < 2; ++trial, ++second) {
          StoredRun run = SyntheticRun("run-" + std::to_string(97 - second), part, second, random, station);
          run.operator_name = appraiser;
          runs.push_back(std::move(run));
        }
      }
    }
  }
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("multitone-line-" + std::to_string(::getpid()) + ".db");
  std::filesystem::remove(file);
  PostgresServer server;
  ResultsStore sqlite = ResultsStore::Open("sqlite:" + file.string());
  ResultsStore postgres = ResultsStore::Open(server.Url());
  ASSERT_EQ(sqlite.Put(runs), runs.size());
  ASSERT_EQ(postgres.Put(runs), runs.size());

  const RunFilter since{IsoTime(12), "", "", ""};  // the second station's runs
  for (const RunFilter& filter : {RunFilter{}, since, RunFilter{"", "", "st-a", ""}}) {
    const auto lite = ByKey(ReadChartSeries(sqlite.db(), filter));
    const auto pg = ByKey(ReadChartSeries(postgres.db(), filter));
    EXPECT_EQ(lite, pg) << filter.since << filter.station;
    // Both stations' 47 charts (one for the 1 kHz tone too), or one's; a
    // chart holds the station's runs oldest first.
    ASSERT_EQ(lite.size(), filter.since.empty() && filter.station.empty() ? 94u : 47u);
    const auto& pitch = lite.at({"st-a", "pitch_error", "", 0});
    EXPECT_LE(pitch.size(), 12u);
    EXPECT_GE(pitch.size(), 10u);  // about one value in 200 is not defined
    EXPECT_TRUE(std::is_sorted(pitch.begin(), pitch.end(),
                               [](const auto& a, const auto& b) { return std::get<1>(a) < std::get<1>(b); }));
    for (const auto& point : pitch) {  // st-a's runs started at seconds 12 to 23
      const std::string& time = std::get<1>(point);
      EXPECT_TRUE(time >= IsoTime(12) && time <= IsoTime(23) && time.size() == IsoTime(12).size()) << time;
    }
  }

  Limits limits;
  limits.pitch_error = {-0.5, 0.5, 0};
  const std::vector<std::string> parts = {"P1", "P2", "P3"};
  const StoredStudy lite = ReadStoredStudy(sqlite.db(), parts, IsoTime(12), limits);
  const StoredStudy pg = ReadStoredStudy(postgres.db(), parts, IsoTime(12), limits);
  EXPECT_EQ(lite.appraisers, (std::vector<std::string>{"kim", "lee"}));
  EXPECT_EQ(lite.trials, 2u);
  ASSERT_EQ(lite.figures.size(), pg.figures.size());
  for (std::size_t i = 0; i < lite.figures.size(); ++i) {
    EXPECT_EQ(lite.figures[i].data.has_value(), pg.figures[i].data.has_value()) << lite.figures[i].figure;
    if (lite.figures[i].data && pg.figures[i].data) {
      EXPECT_EQ(lite.figures[i].data->values, pg.figures[i].data->values) << lite.figures[i].figure;
    }
  }
  ASSERT_EQ(lite.figures[0].figure, "pitch_error");
  EXPECT_EQ(lite.figures[0].tolerance, 1.0);
  // Both stations together: 4 runs of each part by each operator.
  EXPECT_EQ(ReadStoredStudy(postgres.db(), parts, "", limits).trials, 4u);
  std::filesystem::remove(file);
}

TEST(LineOnBothEngines, AStudyByItsTagIsItsMeasuredRunsAlone) {
  // 3 parts × 2 operators × 2 trials of the study grr-a; beside them a run
  // of it that ended in ERROR and a production run: not trials of grr-a.
  std::mt19937_64 random(7);
  std::vector<StoredRun> runs;
  long second = 0;
  auto add = [&](const char* part, const char* appraiser, const char* purpose, const char* tag) {
    StoredRun& run =
        runs.emplace_back(SyntheticRun("run-" + std::to_string(50 - second), part, second, random, "st-a"));
    ++second;
    run.operator_name = appraiser;
    run.purpose = purpose;
    run.tag = tag;
    return &run;
  };
  for (int trial = 0; trial < 2; ++trial) {
    for (const char* appraiser : {"lee", "kim"}) {
      for (const char* part : {"P2", "P3", "P1"}) add(part, appraiser, "study", "grr-a");
    }
  }
  add("P1", "kim", "production", "");
  add("P2", "kim", "study", "grr-a")->verdict = "ERROR";

  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("multitone-tag-" + std::to_string(::getpid()) + ".db");
  std::filesystem::remove(file);
  PostgresServer server;
  ResultsStore sqlite = ResultsStore::Open("sqlite:" + file.string());
  ResultsStore postgres = ResultsStore::Open(server.Url());
  ASSERT_EQ(sqlite.Put(runs), runs.size());
  ASSERT_EQ(postgres.Put(runs), runs.size());

  Limits limits;
  const StoredStudy lite = ReadTaggedStudy(sqlite.db(), "grr-a", limits);
  const StoredStudy pg = ReadTaggedStudy(postgres.db(), "grr-a", limits);
  EXPECT_EQ(lite.parts, (std::vector<std::string>{"P2", "P3", "P1"}));  // first tested first
  EXPECT_EQ(lite.appraisers, (std::vector<std::string>{"kim", "lee"}));
  EXPECT_EQ(lite.trials, 2u);
  ASSERT_TRUE(lite.figures[0].data && pg.figures[0].data);  // pitch_error, defined in these runs
  EXPECT_EQ(lite.figures[0].data->values, pg.figures[0].data->values);
  EXPECT_EQ(lite.figures[0].data->values.size(), 12u);
  for (Database* db : {&sqlite.db(), &postgres.db()}) {
    const StudyProgress progress = ReadStudyProgress(*db, "grr-a");
    EXPECT_EQ(progress.total, 12u);
    EXPECT_EQ(progress.parts, (std::vector<std::string>{"P2", "P3", "P1"}));
    EXPECT_EQ(progress.appraisers, (std::vector<std::string>{"lee", "kim"}));
    EXPECT_EQ(progress.runs.at({"P2", "kim"}), 2u);
    EXPECT_THROW(ReadTaggedStudy(*db, "grr-c", limits), UnbalancedStudy);  // no runs
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace multitone::testing
