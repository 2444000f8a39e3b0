// Station processes against one store: eight opening a new store at once
// lose and double nothing; processes killed at random points leave whole runs or none; a
// server that goes away in the middle of a sequence loses nothing either,
// once `multitone sync` has run; two syncs at once each report their own.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "store/store_fixture.h"
#include "support/subprocess.h"
#include "support/synthetic_runs.h"

extern char** environ;

namespace multitone::testing {
namespace {

constexpr std::size_t kMeasurementsPerRun = 1 + 2 * 7 + 2 * 16;

pid_t StartWriter(const std::string& url, const std::string& spool, const std::string& prefix,
                  int count) {
  std::vector<std::string> args = {STORE_WRITER_BINARY, url, spool, prefix, std::to_string(count)};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// The exit status, or -1 when it was killed or did not end within the bound.
int Wait(pid_t pid, std::chrono::seconds bound = std::chrono::seconds(120)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Run id -> number of its measurements; runs without any are listed with 0,
// measurements without a run under "(orphan)".
std::map<std::string, std::size_t> MeasurementsPerRun(Database& db) {
  std::map<std::string, std::size_t> runs;
  db.Query("SELECT r.run_id, count(m.run_id) FROM runs r LEFT JOIN measurements m "
           "ON m.run_id = r.run_id GROUP BY r.run_id",
           {}, [&](const SqlRow& row) { runs[row.Text(0)] = static_cast<std::size_t>(row.Int(1)); });
  db.Query("SELECT count(*) FROM measurements m WHERE NOT EXISTS "
           "(SELECT 1 FROM runs r WHERE r.run_id = m.run_id)",
           {}, [&](const SqlRow& row) {
             if (row.Int(0) != 0) runs["(orphan)"] = static_cast<std::size_t>(row.Int(0));
           });
  return runs;
}

// Whether the process has the file open.
bool HasOpen(pid_t pid, const std::filesystem::path& file) {
  std::error_code error;
  const auto target = std::filesystem::canonical(file, error);
  for (const auto& fd : std::filesystem::directory_iterator(
           "/proc/" + std::to_string(pid) + "/fd", std::filesystem::directory_options::skip_permission_denied, error)) {
    if (std::filesystem::read_symlink(fd.path(), error) == target) return true;
  }
  return false;
}

bool Ended(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG | WNOWAIT) != 0; }

using StationsTest = StoreOnEngine;

TEST_P(StationsTest, EightStationsOpeningANewStoreAtOnceStoreEveryRunOnce) {
  constexpr int kStations = 8, kRuns = 12;
  // On SQLite the first station to open the new file takes its write lock to
  // switch it to WAL; here the test holds that lock until every station has
  // the file open, so that each meets it (SQLite itself does not wait there).
  sqlite3* first = nullptr;
  const auto file = folder_ / "results.db";
  if (GetParam() == Engine::Sqlite) {
    ASSERT_EQ(sqlite3_open(file.c_str(), &first), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(first, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  std::vector<pid_t> writers;
  for (int s = 0; s < kStations; ++s) {
    writers.push_back(StartWriter(Url(), Spool("station" + std::to_string(s)),
                                  "station" + std::to_string(s), kRuns));
    ASSERT_GT(writers.back(), 0);
  }
  if (first != nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (const pid_t pid : writers) {
      while (!HasOpen(pid, file) && !Ended(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    EXPECT_EQ(sqlite3_exec(first, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(first);
  }
  for (const pid_t pid : writers) EXPECT_EQ(Wait(pid), 0);

  ResultsStore store = ResultsStore::Open(Url());
  std::map<std::string, std::size_t> expected;
  for (int s = 0; s < kStations; ++s) {
    for (int i = 0; i < kRuns; ++i) {
      expected["station" + std::to_string(s) + "-" + std::to_string(i)] = kMeasurementsPerRun;
    }
  }
  EXPECT_EQ(MeasurementsPerRun(store.db()), expected);
}

TEST_P(StationsTest, KilledProcessesLeaveWholeRunsOrNone) {
  constexpr int kKills = 20;
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> delay_ms(50, 1500);
  for (int k = 0; k < kKills; ++k) {
    const pid_t pid = StartWriter(Url(), Spool(), "kill" + std::to_string(k), 100000);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(random)));
    ::kill(pid, SIGKILL);
    EXPECT_EQ(Wait(pid), -1) << "writer " << k << " ended before it was killed";
  }

  // Where the runs are: the SQLite file; or the server and the spool (a run
  // killed between its forwarding and its removal from the spool is in both).
  std::map<std::string, std::size_t> runs = MeasurementsPerRun(ResultsStore::Open(Url()).db());
  if (GetParam() == Engine::Postgres) {
    for (const auto& [id, n] : MeasurementsPerRun(ResultsStore(OpenSqlite(Spool())).db())) {
      runs[id] = n;
    }
  }
  std::map<int, std::set<int>> per_writer;
  for (const auto& [id, n] : runs) {
    EXPECT_EQ(n, kMeasurementsPerRun) << id;
    const auto dash = id.find('-');
    per_writer[std::stoi(id.substr(4, dash - 4))].insert(std::stoi(id.substr(dash + 1)));
  }
  // Each writer's runs are 0 .. n-1: the one it was killed in is whole or absent.
  EXPECT_GT(runs.size(), 0u);
  for (const auto& [writer, numbers] : per_writer) {
    EXPECT_EQ(*numbers.rbegin() + 1, static_cast<int>(numbers.size())) << "writer " << writer;
  }
}

INSTANTIATE_TEST_SUITE_P(Store, StationsTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

TEST(SpoolTest, ServerStoppedMidSequenceThenSyncDeliversEveryRunOnce) {
  PostgresServer server;
  const auto spool = std::filesystem::temp_directory_path() /
                     ("multitone-spool-" + std::to_string(::getpid()) + ".db");
  const std::string url = server.Url();
  EXPECT_EQ(Wait(StartWriter(url, spool, "before", 10)), 0);
  server.Stop();
  const ProgramResult during =
      RunProgram({STORE_WRITER_BINARY, url, spool.string(), "during", "10"});
  EXPECT_EQ(during.exit_code, 0) << during.err;
  EXPECT_NE(during.err.find("kept locally only"), std::string::npos) << during.err;
  server.Start();

  const ProgramResult sync =
      RunProgram({MULTITONE_BINARY, "sync", "--results", url, "--spool", spool.string()});
  EXPECT_EQ(sync.exit_code, 0) << sync.err;
  const ProgramResult again =
      RunProgram({MULTITONE_BINARY, "sync", "--results", url, "--spool", spool.string()});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.out, "forwarded 0 runs, 0 left in the spool\n");

  std::map<std::string, std::size_t> expected;
  for (const char* prefix : {"before", "during"}) {
    for (int i = 0; i < 10; ++i) expected[prefix + ("-" + std::to_string(i))] = kMeasurementsPerRun;
  }
  EXPECT_EQ(MeasurementsPerRun(ResultsStore::Open(url).db()), expected);
  EXPECT_EQ(ResultsStore(OpenSqlite(spool)).RunCount(), 0u);
  for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(spool.string() + end);
}

TEST(SpoolTest, TwoSyncsAtOnceEachCountTheRunsTheyForwarded) {
  constexpr int kRuns = 500;
  PostgresServer server;
  const auto spool = std::filesystem::temp_directory_path() /
                     ("multitone-spool2-" + std::to_string(::getpid()) + ".db");
  std::mt19937_64 random(9);
  std::vector<StoredRun> runs;
  for (int i = 0; i < kRuns; ++i) runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN", i, random));
  ResultsStore(OpenSqlite(spool)).Put(runs);

  ProgramResult results[2];
  std::thread syncs[2];
  for (int i = 0; i < 2; ++i) {
    syncs[i] = std::thread([&, i] {
      results[i] = RunProgram({MULTITONE_BINARY, "sync", "--results", server.Url(), "--spool", spool.string()});
    });
  }
  int forwarded = 0;
  for (int i = 0; i < 2; ++i) {
    syncs[i].join();
    EXPECT_EQ(results[i].exit_code, 0) << results[i].err;
    int n = -1;
    EXPECT_EQ(std::sscanf(results[i].out.c_str(), "forwarded %d runs, 0 left in the spool", &n), 1)
        << results[i].out;
    forwarded += n;
  }
  EXPECT_EQ(forwarded, kRuns);
  EXPECT_EQ(ResultsStore::Open(server.Url()).RunCount(), static_cast<std::size_t>(kRuns));
  for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(spool.string() + end);
}

}  // namespace
}  // namespace multitone::testing
