// The results store's speed: one run stored durably in SQLite (WAL,
// synchronous=FULL: the median is what a station adds to each unit), 1,000
// spooled runs forwarded to a PostgreSQL server of the benchmark's own, and
// `stats` over 100,000 runs in SQLite (goal: under 2 s).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "store/results_store.h"
#include "store/run_stats.h"
#include "store/run_storage.h"
#include "store/sqlite_database.h"
#include "support/postgres_server.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

std::string TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-bench.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return pattern;
}

void StoreOneRunSqlite(benchmark::State& state) {
  const std::string folder = TempFolder();
  ResultsStore store(OpenSqlite(folder + "/results.db"));
  std::mt19937_64 random(1);
  long i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const StoredRun run = SyntheticRun("run-" + std::to_string(i), "SN", i, random);
    ++i;
    state.ResumeTiming();
    store.Put(run);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(StoreOneRunSqlite)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void Forward1000SpooledRuns(benchmark::State& state) {
  PostgresServer server;
  const std::string folder = TempFolder();
  const RunStorage storage{server.Url(), folder + "/spool.db"};
  std::mt19937_64 random(2);
  long i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      std::vector<StoredRun> runs;
      for (int k = 0; k < 1000; ++k, ++i) {
        runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN", i, random));
      }
      ResultsStore(OpenSqlite(storage.spool)).Put(runs);
    }
    state.ResumeTiming();
    const ForwardReport report = ForwardSpool(storage);
    if (report.forwarded != 1000) state.SkipWithError(report.error.c_str());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(Forward1000SpooledRuns)->Unit(benchmark::kMillisecond)->Iterations(3);

// MULTITONE_BENCH_STATS_DB=PATH keeps the 100,000 runs in PATH for the next
// time (making them takes minutes).
void Stats100000Runs(benchmark::State& state) {
  const char* kept = std::getenv("MULTITONE_BENCH_STATS_DB");
  const std::string folder = kept ? std::string() : TempFolder();
  const std::string path = kept ? std::string(kept) : folder + "/results.db";
  const bool made = kept && std::filesystem::exists(path);
  ResultsStore store(OpenSqlite(path));
  std::mt19937_64 random(3);
  for (long batch = 0; batch < (made ? 0 : 100); ++batch) {
    std::vector<StoredRun> runs;
    for (long k = 0; k < 1000; ++k) {
      const long i = batch * 1000 + k;
      runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN-" + std::to_string(i % 70000),
                                  i * 5, random, i % 4 ? "station-1" : "station-2"));
    }
    store.Put(runs);
  }
  for (auto _ : state) {
    const RunStats stats = ComputeStats(store.db(), {});
    if (stats.runs != 100000) state.SkipWithError("not every run counted");
    benchmark::DoNotOptimize(stats.figures.data());
  }
  if (!kept) std::filesystem::remove_all(folder);
}
BENCHMARK(Stats100000Runs)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
