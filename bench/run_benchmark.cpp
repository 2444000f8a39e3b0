// The program's own work for one complete run against the in-memory scripted
// analyzer (no I/O): the whole run, and each step on its own.
#include <benchmark/benchmark.h>

#include <chrono>

#include "run/run_measurement.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

const AnalyzerScript& Device() {
  static const AnalyzerScript script = PlausibleDevice();
  return script;
}

struct FreshRun {
  FreshRun() {
    Apply(Device(), analyzer);
    record.CreateAnalyzer = [this] { return std::make_unique<AnalyzerLink>(analyzer.Connect()); };
  }
  ScriptedAnalyzer analyzer;
  MeasurementRecord record;
};

void WholeRun(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto run = std::make_unique<FreshRun>();
    state.ResumeTiming();
    RunMeasurement(run->record);
    benchmark::DoNotOptimize(run->record.ResultTable.data());
    state.PauseTiming();
    run.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(WholeRun)->Unit(benchmark::kMicrosecond);

// One step, timed alone: the steps before it run untimed on a fresh record.
void Step(benchmark::State& state, std::size_t index) {
  const auto steps = RunSteps();
  for (auto _ : state) {
    FreshRun run;
    for (std::size_t i = 0; i < index; ++i) steps[i].perform(run.record);
    const auto start = std::chrono::steady_clock::now();
    steps[index].perform(run.record);
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}

const int registered = [] {
  const auto steps = RunSteps();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    benchmark::RegisterBenchmark(("Step/" + std::string(steps[i].name)).c_str(),
                                 [i](benchmark::State& state) { Step(state, i); })
        ->UseManualTime()
        // A fixed count: each iteration also runs every earlier step untimed,
        // so a time target would take minutes for the sub-microsecond steps.
        ->Iterations(2000)
        ->Unit(benchmark::kMicrosecond);
  }
  return 0;
}();

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
