// The same store on both engines: a run comes back exactly as it was stored,
// at full double precision and with its NULLs; a second store of the same
// run changes nothing; the layout is versioned and typed as intended.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <tuple>

#include "store/results_store.h"
#include "store/schema.h"
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

TEST_P(EnginesTest, NewerLayoutIsRefused) {
  ResultsStore(ResultsStore::Open(Url())).db().Execute("UPDATE schema_version SET version = 99");
  EXPECT_THROW(ResultsStore::Open(Url()), StoreError);
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

}  // namespace
}  // namespace multitone::testing
