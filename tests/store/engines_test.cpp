// The same store on both engines: a run comes back exactly as it was stored,
// at full double precision and with its NULLs; a second store of the same
// run changes nothing; the layout is versioned and typed as intended; a
// database that is not ours, or is newer, is refused untouched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <tuple>

#include "store/chart_history.h"
#include "store/golden_runs.h"
#include "store/results_store.h"
#include "store/results_url.h"
#include "store/schema.h"
#include "store/stretch_start.h"
#include "store/sqlite_database.h"
#include "store/store_fixture.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

using EnginesTest = StoreOnEngine;

// The run as Get returns it: measurements ordered by tone, channel, figure.
StoredRun InStoreOrder(StoredRun run) {
  std::sort(run.measurements.begin(), run.measurements.end(), [](const auto& a, const auto& b) {
    return std::tie(a.tone, a.channel, a.figure) < std::tie(b.tone, b.channel, b.figure);
  });
  return run;
}

TEST_P(EnginesTest, RunComesBackWholeAndIsStoredOnce) {
  std::mt19937_64 random(7);
  StoredRun run = SyntheticRun("run-a", "SN-1", 0, random);
  run.measurements[1].value = 0.1 + 0.2;         // needs all 17 digits
  run.measurements[2].value = 1e-300;
  run.measurements[3].value = std::nullopt;      // not defined
  run.measurements[4].low = std::nullopt;
  run.measurements[4].outcome = "";
  run.error_number = 440;
  run.error_step = "AcquireSpectra";
  run.error_text = "it's \"quoted\"; DROP TABLE runs; --";
  run.verdict = "ERROR";
  StoredRun bare = SyntheticRun("run-b", "", 1, random);  // no serial, no limits
  bare.limits_sha256 = bare.limits_content = bare.product = "";
  bare.purpose = "study";
  bare.tag = "grr-1";

  {
    ResultsStore store = ResultsStore::Open(Url());
    EXPECT_TRUE(store.Put(run));
    EXPECT_FALSE(store.Put(run));
    EXPECT_TRUE(store.Put(bare));
  }
  ResultsStore store = ResultsStore::Open(Url());  // the layout is there already
  EXPECT_EQ(store.RunCount(), 2u);
  for (const StoredRun& expected : {run, bare}) {
    auto got = store.Get(expected.run_id);
    ASSERT_TRUE(got.has_value());
    // PostgreSQL keeps the document as jsonb: equal as JSON, not as text.
    EXPECT_EQ(nlohmann::json::parse(got->result_json), nlohmann::json::parse(expected.result_json));
    got->result_json = expected.result_json;
    EXPECT_EQ(*got, InStoreOrder(expected));
  }

  std::vector<std::int64_t> versions;
  store.db().Query("SELECT version FROM schema_version", {},
                   [&](const SqlRow& row) { versions.push_back(row.Int(0)); });
  EXPECT_EQ(versions, std::vector<std::int64_t>{kSchemaVersion});
}

// What the database holds: its tables and their rows as text, and on SQLite
// the file's bytes and the folder's files (a WAL switch leaves -wal, -shm).
std::string Snapshot(Engine engine, const std::string& url, const std::filesystem::path& folder) {
  std::string seen;
  if (engine == Engine::Sqlite) {
    std::ifstream in(folder / "results.db", std::ios::binary);
    seen.assign(std::istreambuf_iterator<char>(in), {});
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      seen += "\n" + entry.path().filename().string();
    }
    return seen;
  }
  auto db = OpenDatabase(*ParseResultsUrl(url));
  std::vector<std::string> tables;
  db->Query("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
            "ORDER BY 1", {}, [&](const SqlRow& row) { tables.push_back(row.Text(0)); });
  for (const std::string& table : tables) {
    seen += table + ":";
    db->Query("SELECT CAST(t AS TEXT) FROM " + table + " t ORDER BY 1", {},
              [&](const SqlRow& row) { seen += " " + row.Text(0); });
    seen += "\n";
  }
  return seen;
}

TEST_P(EnginesTest, ForeignOrNewerDatabaseIsRefusedUntouched) {
  struct Case {
    const char* sql;  // what the database holds; nullptr: a file that is not SQLite
    const char* refusal;
    bool on_postgres;
  };
  const Case cases[] = {
      {"CREATE TABLE parts (id INTEGER); INSERT INTO parts VALUES (1)",
       "not a multitone results store: it has tables (parts)", false},
      {"CREATE TABLE runs (id INTEGER)", "not a multitone results store: it has tables (runs)", true},
      {"CREATE TABLE schema_version (version TEXT); INSERT INTO schema_version VALUES ('abc')",
       "its schema_version holds 'abc', not one layout number", true},
      {"CREATE TABLE schema_version (version INTEGER); INSERT INTO schema_version VALUES (-5)",
       "its schema_version holds '-5'", true},
      {"CREATE TABLE schema_version (version INTEGER); INSERT INTO schema_version VALUES (1), (1)",
       "its schema_version holds '1', '1'", true},
      {"CREATE TABLE schema_version (version INTEGER); INSERT INTO schema_version VALUES (3)",
       "schema version 3, newer than this program's 2", true},
      {"CREATE TABLE schema_version (version INTEGER); INSERT INTO schema_version VALUES (1)",
       "the results store has no table limit_sets", true},
      {nullptr, "file is not a database", false},
  };
  for (const Case& c : cases) {
    if (GetParam() == Engine::Postgres && !c.on_postgres) continue;
    const std::string what = c.sql ? c.sql : "not SQLite";
    if (GetParam() == Engine::Postgres) {
      OpenDatabase(*ParseResultsUrl(Url()))
          ->ExecuteScript("DROP SCHEMA public CASCADE; CREATE SCHEMA public; " + std::string(c.sql));
    } else {
      std::filesystem::remove_all(folder_);
      std::filesystem::create_directory(folder_);
      if (c.sql) {
        OpenDatabase(*ParseResultsUrl(Url()))->ExecuteScript(c.sql);
      } else {
        std::ofstream(folder_ / "results.db") << "serial,verdict\nSN1,PASS\n";
      }
    }
    const std::string before = Snapshot(GetParam(), Url(), folder_);
    for (const bool existing : {false, true}) {
      try {
        existing ? ResultsStore::OpenExisting(Url()) : ResultsStore::Open(Url());
        ADD_FAILURE() << what << ": opened";
      } catch (const StoreError& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr(c.refusal)) << what;
      }
      EXPECT_EQ(Snapshot(GetParam(), Url(), folder_), before) << what;
    }
  }
}

// A store of the first layout (no purpose or tag on runs, no alarms) is
// brought up to date when opened, by either door, and keeps its runs.
TEST_P(EnginesTest, FirstLayoutIsBroughtUpToDate) {
  std::mt19937_64 random(11);
  StoredRun run = SyntheticRun("run-old", "SN-9", 0, random);
  for (const bool existing : {false, true}) {
    {
      ResultsStore store = ResultsStore::Open(Url());
      store.Put(run);
      store.db().ExecuteScript(
          "DROP TABLE alarms; DROP INDEX runs_tag; DROP INDEX runs_station_purpose; DROP INDEX runs_station; DROP INDEX runs_station_limits; "
          "DROP INDEX measurements_run_figures; "
          "ALTER TABLE runs DROP COLUMN purpose; ALTER TABLE runs DROP COLUMN tag; "
          "UPDATE schema_version SET version = 1");
    }
    ResultsStore store = existing ? ResultsStore::OpenExisting(Url()) : ResultsStore::Open(Url());
    EXPECT_EQ(ReadLayout(store.db()), Layout::Ours);
    auto got = store.Get(run.run_id);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->purpose, "production");
    EXPECT_EQ(got->tag, "");
    std::int64_t alarms = -1;
    store.db().Query("SELECT COUNT(*) FROM alarms", {}, [&](const SqlRow& row) { alarms = row.Int(0); });
    EXPECT_EQ(alarms, 0);
    // The line page's indexes come with the new layout.
    std::vector<std::string> indexes;
    store.db().Query(GetParam() == Engine::Sqlite
                         ? "SELECT name FROM sqlite_master WHERE type = 'index' AND name IN "
                           "('runs_station', 'measurements_run_figures', 'runs_station_limits') ORDER BY name"
                         : "SELECT indexname FROM pg_indexes WHERE indexname IN "
                           "('runs_station', 'measurements_run_figures', 'runs_station_limits') ORDER BY indexname",
                     {}, [&](const SqlRow& row) { indexes.push_back(row.Text(0)); });
    EXPECT_EQ(indexes, (std::vector<std::string>{"measurements_run_figures", "runs_station", "runs_station_limits"}));
  }
}

// What the golden-unit check reads, on either engine: the station's newest
// golden run, the production runs since, and a unit's means over its newest
// completed runs.
TEST_P(EnginesTest, GoldenHistoryAndAUnitsMeans) {
  std::mt19937_64 random(13);
  const auto made = [&](const std::string& id, const std::string& serial, long second, const std::string& purpose,
                        const std::string& station = "station-1") {
    StoredRun run = SyntheticRun(id, serial, second, random, station);
    run.purpose = purpose;
    return run;
  };
  const std::vector<StoredRun> runs = {
      made("p1", "SN-1", 0, "production"),         made("g-old", "GOLD-1", 5, "golden"),
      made("g1", "GOLD-1", 10, "golden"),          made("p2", "SN-2", 20, "production"),
      made("p3", "SN-3", 30, "production"),        made("s1", "SN-4", 35, "study"),
      made("q1", "SN-5", 25, "production", "station-2"), made("g2", "GOLD-1", 40, "golden", "station-2"),
  };
  {
    ResultsStore store = ResultsStore::Open(Url());
    for (const StoredRun& run : runs) store.Put(run);
  }
  ResultsStore store = ResultsStore::Open(Url());
  const auto latest = LatestGoldenRun(store.db(), "station-1");
  ASSERT_TRUE(latest.has_value());
  EXPECT_EQ(latest->run_id, "g1");
  EXPECT_EQ(latest->serial, "GOLD-1");
  EXPECT_EQ(latest->started_at, IsoTime(10));
  EXPECT_EQ(nlohmann::json::parse(latest->result_json), nlohmann::json::parse(runs[2].result_json));
  EXPECT_EQ(ProductionRunsAfter(store.db(), "station-1", latest->started_at), 2);
  EXPECT_EQ(ProductionRunsAfter(store.db(), "station-1", ""), 3);
  EXPECT_FALSE(LatestGoldenRun(store.db(), "station-3").has_value());

  const GoldenHistory history = ReadGoldenHistory(RunStorage{Url(), Spool()}, "station-1");
  EXPECT_EQ(history.problem, "");
  ASSERT_TRUE(history.latest.has_value());
  EXPECT_EQ(history.latest->run_id, "g1");
  EXPECT_EQ(history.production_since, 2);

  // GOLD-1 on station-1: the newest two of its runs there are g1 and g-old;
  // on every station, g2 and g1.
  for (const auto& [station, ids] : std::vector<std::pair<std::string, std::vector<std::size_t>>>{
           {"station-1", {2, 1}}, {"", {7, 2}}}) {
    const SerialFigures figures = SerialFigureMeans(store.db(), "GOLD-1", station, 2);
    EXPECT_EQ(figures.runs, 2) << station;
    EXPECT_EQ(figures.newest, runs[ids[0]].started_at) << station;
    ASSERT_FALSE(figures.means.empty());
    for (const FigureMean& mean : figures.means) {
      double sum = 0;
      std::int64_t count = 0;
      for (const std::size_t i : ids) {
        for (const StoredMeasurement& m : runs[i].measurements) {
          if (m.figure == mean.figure && m.channel == mean.channel && m.tone == mean.tone && m.value) {
            sum += *m.value;
            ++count;
          }
        }
      }
      EXPECT_EQ(mean.values, count) << mean.figure << " " << mean.channel << " " << mean.tone;
      EXPECT_NEAR(mean.mean, sum / static_cast<double>(count), 1e-9 * std::abs(sum)) << mean.figure;
    }
  }
}

// A station's control charts start after its newest production run under
// other limits or none; other stations' runs and its golden runs do not
// count. The limits' hashes lie on both sides of the charted one's.
TEST_P(EnginesTest, ChartHistoryStartsAfterTheLastRunUnderOtherLimits) {
  const std::string charted(64, 'm'), lower(64, 'b'), higher(64, 'z');
  std::mt19937_64 random(17);
  std::vector<StoredRun> runs;
  auto add = [&](const std::string& id, long second, const std::string& sha, const std::string& station,
                 const std::string& purpose = "production") {
    StoredRun run = SyntheticRun(id, "SN", second, random, station);
    run.limits_sha256 = sha;
    run.limits_content = sha.empty() ? "" : "[pitch_error]\nmax = 0.5 # " + sha.substr(0, 1) + "\n";
    run.purpose = purpose;
    runs.push_back(std::move(run));
  };
  // st-1: other limits at 10, none at 30: its stretch is runs 40 to 110.
  add("a0", 0, charted, "st-1");
  add("a1", 10, lower, "st-1");
  add("a2", 20, charted, "st-1");
  add("a3", 30, "", "st-1");
  for (long s = 40; s <= 90; s += 10) add("a" + std::to_string(s / 10), s, charted, "st-1");
  add("g1", 95, higher, "st-1", "golden");
  add("b1", 100, higher, "st-2");
  add("a11", 110, charted, "st-1");
  // st-3: none at 5, the lower limits at 10, the higher at 40: from 50 on.
  add("c0", 5, "", "st-3");
  add("c1", 10, lower, "st-3");
  add("c2", 20, charted, "st-3");
  add("c4", 40, higher, "st-3");
  add("c5", 50, charted, "st-3");
  add("c6", 60, charted, "st-3");
  // st-4: only ever the charted limits: from its first run.
  add("d1", 1, charted, "st-4");
  add("d2", 2, charted, "st-4");
  {
    ResultsStore store = ResultsStore::Open(Url());
    ASSERT_EQ(store.Put(runs), runs.size());
  }
  ResultsStore store = ResultsStore::Open(Url());
  const auto pitch_runs = [&](const std::string& station, std::size_t first, std::size_t newest) {
    const StationHistory history = ReadStationHistory(store.db(), station, charted, first, newest);
    std::vector<std::string> ids;
    for (const ChartHistory& chart : history.charts) {
      if (chart.figure != "pitch_error") continue;
      for (const HistoryPoint& p : chart.first) ids.push_back(p.run_id);
      ids.push_back("|");
      for (const HistoryPoint& p : chart.newest) ids.push_back(p.run_id);
      ids.push_back("count " + std::to_string(chart.count));
    }
    return ids;
  };
  // Runs whose pitch error is defined, in the order they started.
  const auto defined = [&](std::initializer_list<const char*> ids) {
    std::vector<std::string> kept;
    for (const char* id : ids) {
      const auto run = std::find_if(runs.begin(), runs.end(), [&](const StoredRun& r) { return r.run_id == id; });
      if (run->measurements.front().value) kept.push_back(id);
    }
    return kept;
  };
  auto expected = [](std::vector<std::string> first, std::vector<std::string> newest, std::size_t count) {
    first.push_back("|");
    first.insert(first.end(), newest.begin(), newest.end());
    first.push_back("count " + std::to_string(count));
    return first;
  };
  const auto st1 = defined({"a4", "a5", "a6", "a7", "a8", "a9", "a11"});
  EXPECT_EQ(pitch_runs("st-1", 3, 2), expected({st1.begin(), st1.begin() + 3}, {st1.end() - 2, st1.end()}, st1.size()));
  const auto st3 = defined({"c5", "c6"});
  EXPECT_EQ(pitch_runs("st-3", 3, 2), expected(st3, st3, st3.size()));
  const auto st4 = defined({"d1", "d2"});
  EXPECT_EQ(pitch_runs("st-4", 3, 2), expected(st4, st4, st4.size()));
  EXPECT_TRUE(ReadStationHistory(store.db(), "st-2", charted, 3, 2).charts.empty());

  // Where the stretch begins, also for a station whose newest run had no
  // limits (the line page's chart): after its newest run under any.
  const std::optional<std::string> none;
  for (const auto& [station, sha, newest] : std::vector<std::tuple<std::string, std::optional<std::string>, std::string>>{
           {"st-1", charted, IsoTime(30)}, {"st-3", charted, IsoTime(40)}, {"st-4", charted, ""},
           {"st-3", lower, IsoTime(60)}, {"st-1", none, IsoTime(110)}, {"st-5", none, ""}}) {
    EXPECT_EQ(NewestRunUnderOtherLimits(store.db(), station, sha), newest) << station << " " << sha.value_or("none");
  }
}

// A store of this layout made before the station's limits index gets it
// when a station opens it to write, and keeps its runs.
TEST_P(EnginesTest, StoreOfThisLayoutGetsTheLimitsIndex) {
  std::mt19937_64 random(19);
  const StoredRun run = SyntheticRun("run-1", "SN-1", 0, random);
  {
    ResultsStore store = ResultsStore::Open(Url());
    store.Put(run);
    store.db().ExecuteScript("DROP INDEX runs_station_limits");
  }
  const auto has_index = [&](Database& db) {
    bool found = false;
    db.Query(GetParam() == Engine::Sqlite
                 ? "SELECT 1 FROM sqlite_master WHERE name = 'runs_station_limits'"
                 : "SELECT 1 FROM pg_indexes WHERE indexname = 'runs_station_limits'",
             {}, [&](const SqlRow&) { found = true; });
    return found;
  };
  EXPECT_FALSE(has_index(ResultsStore::OpenExisting(Url()).db()));  // read as it is
  ResultsStore store = ResultsStore::Open(Url());
  EXPECT_TRUE(has_index(store.db()));
  EXPECT_TRUE(store.Get("run-1").has_value());
}

INSTANTIATE_TEST_SUITE_P(Store, EnginesTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

TEST(PostgresLayout, TimesDoublesAndDocumentHaveTheirTypes) {
  PostgresServer server;
  ResultsStore store = ResultsStore::Open(server.Url());
  std::vector<std::tuple<std::string, std::string, std::string>> types;
  store.db().Query(
      "SELECT table_name, column_name, data_type FROM information_schema.columns WHERE "
      "(table_name, column_name) IN (('runs', 'started_at'), ('runs', 'result_json'), "
      "('measurements', 'value'), ('measurements', 'low')) ORDER BY 1, 2",
      {}, [&](const SqlRow& row) { types.emplace_back(row.Text(0), row.Text(1), row.Text(2)); });
  const decltype(types) expected = {{"measurements", "low", "double precision"},
                                    {"measurements", "value", "double precision"},
                                    {"runs", "result_json", "jsonb"},
                                    {"runs", "started_at", "timestamp with time zone"}};
  EXPECT_EQ(types, expected);
}

TEST(PostgresLayout, AStationThatMayNotChangeTheTablesKeepsRunsWithoutTheIndex) {
  PostgresServer server;
  std::mt19937_64 random(23);
  {
    ResultsStore store = ResultsStore::Open(server.Url());
    store.Put(SyntheticRun("run-1", "SN-1", 0, random));
    // A store of this layout from before the index, whose tables another
    // role owns: the station may read and write rows, not add an index.
    store.db().ExecuteScript(
        "DROP INDEX runs_station_limits; CREATE ROLE station LOGIN; "
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO station; "
        "GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO station");
  }
  std::string url = server.Url();
  url.replace(url.find("postgres@"), 9, "station@");
  ResultsStore store = ResultsStore::Open(url);
  store.Put(SyntheticRun("run-2", "SN-2", 1, random));
  EXPECT_EQ(store.RunCount(), 2u);
  bool indexed = false;
  store.db().Query("SELECT 1 FROM pg_indexes WHERE indexname = 'runs_station_limits'", {},
                   [&](const SqlRow&) { indexed = true; });
  EXPECT_FALSE(indexed);
}

TEST(SqliteFile, IsInWriteAheadLogMode) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("multitone-wal-" + std::to_string(::getpid()) + ".db");
  { ResultsStore store = ResultsStore::Open("sqlite:" + path.string()); }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal");
  sqlite3_finalize(statement);
  sqlite3_close(db);
  for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + end);
}

// SQLite is handed ?N for the store's $N; text and comments keep theirs.
TEST(SqliteFile, ParametersAreNumberedOutsideTextAndComments) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("multitone-params-" + std::to_string(::getpid()) + ".db");
  {
    const auto db = OpenSqlite(path.string(), true);
    std::vector<std::string> row;
    db->Query("SELECT 'it''s $1', $2 -- not $3, it's a comment\n, $1 /* nor '$4' */ + 1",
              {std::int64_t{41}, std::string("two")}, [&](const SqlRow& r) {
                row = {r.Text(0), r.Text(1), std::to_string(r.Int(2))};
              });
    EXPECT_THAT(row, ::testing::ElementsAre("it's $1", "two", "42"));
    EXPECT_THAT([&] { db->Query("SELECT $1", {std::int64_t{1}, std::int64_t{2}}, [](const SqlRow&) {}); },
                ::testing::ThrowsMessage<StoreError>(::testing::HasSubstr("no parameter $2")));
    // In order, out of order, with a gap, and past nine: each value where its number says.
    for (const auto& [sql, expected] : std::vector<std::pair<std::string, std::string>>{
             {"SELECT $1 || $2 || '$3' || $3", "ab$3c"},
             {"SELECT $2 || $1 || $3", "bac"},
             {"SELECT $1 || $3 || $1", "aca"},
         }) {
      std::string got;
      db->Query(sql, {std::string("a"), std::string("b"), std::string("c")},
                [&](const SqlRow& r) { got = r.Text(0); });
      EXPECT_EQ(got, expected) << sql;
    }
    std::string sql = "SELECT ''";
    std::vector<SqlValue> values;
    for (int n = 1; n <= 12; ++n) {
      sql += " || $" + std::to_string(n);
      values.emplace_back(std::string(1, static_cast<char>('a' + n - 1)));
    }
    std::string got;
    db->Query(sql, values, [&](const SqlRow& r) { got = r.Text(0); });
    EXPECT_EQ(got, "abcdefghijkl");
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace multitone::testing
