// The line's checks: the run rules over one chart of 1,000 runs, and
// `multitone alarms` for one station (its 47 charts read from a SQLite store
// of 1,000 runs, then checked) — what a station would pay to check itself
// after each unit.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "line/chart_series.h"
#include "line/control_chart.h"
#include "line/station_alarms.h"
#include "store/results_store.h"
#include "store/sqlite_database.h"
#include "support/synthetic_runs.h"

namespace multitone::testing {
namespace {

void RunRulesOverOneChart(benchmark::State& state) {
  std::mt19937_64 random(5);
  std::normal_distribution<double> value(0.1936, 2e-5);
  std::vector<double> values(static_cast<std::size_t>(state.range(0)));
  for (double& v : values) v = value(random);
  const ChartLimits limits = *BaselineLimits(std::span(values).first(20));
  for (auto _ : state) benchmark::DoNotOptimize(CheckRunRules(values, limits, 20));
}
BENCHMARK(RunRulesOverOneChart)->Arg(1000)->Unit(benchmark::kMicrosecond);

void AlarmsOfOneStationFromSqlite(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-bench.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  {
    ResultsStore store(OpenSqlite(pattern + "/line.db"));
    std::mt19937_64 random(7);
    std::vector<StoredRun> runs;
    for (long i = 0; i < state.range(0); ++i) {
      runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN" + std::to_string(i), i, random, "st-1"));
      runs.push_back(SyntheticRun("other-" + std::to_string(i), "SO" + std::to_string(i), i, random, "st-2"));
    }
    store.Put(runs);
  }
  ResultsStore store(OpenSqlite(pattern + "/line.db"));
  RunFilter filter;
  filter.station = "st-1";
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindAlarms(ReadChartSeries(store.db(), filter), 20));
  }
  std::filesystem::remove_all(pattern);
}
BENCHMARK(AlarmsOfOneStationFromSqlite)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
