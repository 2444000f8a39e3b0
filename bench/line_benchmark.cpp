// The line's checks: the run rules over one chart of 1,000 runs, and
// `multitone alarms --recompute` for one station (its 47 charts read from a
// SQLite store of 1,000 runs, then checked); and what a station pays to check
// each new run on its 47 charts: from memory (multitone serve), and with its
// charts read from the store first (the command line, once per start).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "line/chart_series.h"
#include "line/control_chart.h"
#include "line/station_alarms.h"
#include "line/station_charts.h"
#include "store/chart_history.h"
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

// A unit holding a stored run's values (its measurements point into `run`).
UnitResult UnitOf(const StoredRun& run) {
  UnitResult unit;
  unit.run_id = run.run_id;
  for (const StoredMeasurement& stored : run.measurements) {
    Measurement m;
    m.figure = stored.figure;
    m.channel = stored.channel;
    m.tone = stored.tone;
    m.value = stored.value;
    unit.judgement.measurements.push_back(m);
  }
  return unit;
}

void RuleCheckOfANewRunInMemory(benchmark::State& state) {
  std::mt19937_64 random(11);
  std::vector<StoredRun> runs;
  for (long i = 0; i < 1000; ++i) runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN", i, random));
  std::vector<UnitResult> units;
  for (const StoredRun& run : runs) units.push_back(UnitOf(run));
  StationCharts charts("station-1", ControlSettings{});
  std::size_t next = 0, alarms = 0;
  for (auto _ : state) {
    alarms += charts.Add(units[next++ % units.size()]).size();
  }
  state.counters["charts"] = static_cast<double>(charts.Charts());
  state.counters["alarms/run"] = static_cast<double>(alarms) / static_cast<double>(next);
}
BENCHMARK(RuleCheckOfANewRunInMemory)->Unit(benchmark::kMicrosecond);

void RuleCheckOfANewRunReadingTheStore(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-bench.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  std::mt19937_64 random(13);
  {
    ResultsStore store(OpenSqlite(pattern + "/line.db"));
    std::vector<StoredRun> runs;
    for (long i = 0; i < state.range(0); ++i) {
      runs.push_back(SyntheticRun("run-" + std::to_string(i), "SN" + std::to_string(i), i, random, "station-1"));
      runs.push_back(SyntheticRun("other-" + std::to_string(i), "SO" + std::to_string(i), i, random, "station-2"));
    }
    store.Put(runs);
  }
  const StoredRun next = SyntheticRun("next", "SN", state.range(0), random, "station-1");
  const UnitResult unit = UnitOf(next);
  const ControlSettings control;
  for (auto _ : state) {
    ResultsStore store(OpenSqlite(pattern + "/line.db", false));
    StationCharts charts("station-1", control,
                         ReadStationHistory(store.db(), "station-1", next.limits_sha256, control.baseline,
                                            StationCharts::kNewestRead));
    benchmark::DoNotOptimize(charts.Add(unit));
  }
  std::filesystem::remove_all(pattern);
}
BENCHMARK(RuleCheckOfANewRunReadingTheStore)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
