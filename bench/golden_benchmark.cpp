// The golden-unit check's state, as a station reads it before every unit:
// the station's newest golden run and the production runs since, from a
// SQLite store shared by 20 stations (a golden check every 500 units each),
// and from a station that has never been checked (the whole of its runs).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "store/golden_runs.h"
#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

constexpr int kStations = 20;

// A store of `per_station` runs for each of 20 stations, interleaved in time;
// station 0 has never run a golden unit.
std::string MakeStore(long per_station) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-bench.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  ResultsStore store(OpenSqlite(pattern + "/line.db"));
  std::mt19937_64 random(3);
  std::vector<StoredRun> runs;
  for (long i = 0; i < per_station; ++i) {
    for (int s = 0; s < kStations; ++s) {
      const std::string id = std::to_string(s) + "-" + std::to_string(i);
      StoredRun run = SyntheticRun(id, "SN" + id, i * kStations + s, random, "st-" + std::to_string(s));
      run.measurements.clear();  // the check reads runs only
      if (s != 0 && i % 500 == 250) run.purpose = "golden";
      runs.push_back(std::move(run));
    }
    if (runs.size() >= 10000) {
      store.Put(runs);
      runs.clear();
    }
  }
  store.Put(runs);
  return pattern;
}

void GoldenStateOfOneStation(benchmark::State& state) {
  const std::string folder = MakeStore(state.range(0));
  if (folder.empty()) return state.SkipWithError("no temporary folder");
  const RunStorage storage{"sqlite:" + folder + "/line.db", ""};
  const std::string station = state.range(1) ? "st-7" : "st-0";
  for (auto _ : state) benchmark::DoNotOptimize(ReadGoldenHistory(storage, station));
  state.counters["runs"] = static_cast<double>(state.range(0) * kStations);
  std::filesystem::remove_all(folder);
}
// Arguments: runs per station; 1 for a checked station, 0 for one never checked.
BENCHMARK(GoldenStateOfOneStation)->Args({5000, 1})->Args({5000, 0})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
