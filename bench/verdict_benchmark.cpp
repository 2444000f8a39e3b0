// What judging a unit adds to a run: one whole run against the in-memory
// analyzer, then its results built, judged against the example limits and
// written as JSON, JUnit and the HTML report (no file I/O). The goal: the
// outputs together add under 1 ms to the run's own work.
#include <benchmark/benchmark.h>

#include "output/html_report.h"
#include "output/junit_report.h"
#include "output/result_json.h"
#include "output/verdict_line.h"
#include "run/build_run_results.h"
#include "run/run_measurement.h"
#include "station/unit_run.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

const LimitsSource& ExampleLimits() {
  static const LimitsSource limits = LoadLimits(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml");
  return limits;
}

RunResults OneRun() {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  MeasurementRecord record;
  record.CreateAnalyzer = [&analyzer] { return std::make_unique<AnalyzerLink>(analyzer.Connect()); };
  RunMeasurement(record);
  return BuildRunResults(record, nullptr);
}

// Results, verdict and every output of one unit, as a finished run hands them on.
void JudgeAndWriteOutputs(benchmark::State& state) {
  const RunResults results = OneRun();
  for (auto _ : state) {
    UnitResult unit;
    unit.serial = "SN0000001";
    unit.limits = LoadLimits(std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml");
    unit.results = results;
    unit.judgement = Judge(unit.results, &unit.limits->limits);
    std::string json = ResultJsonText(unit, 2);
    std::string junit = JunitReport(unit);
    std::string html = HtmlReport(unit);
    std::string line = VerdictLine(unit);
    benchmark::DoNotOptimize(json.data());
    benchmark::DoNotOptimize(junit.data());
    benchmark::DoNotOptimize(html.data());
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(JudgeAndWriteOutputs)->Unit(benchmark::kMicrosecond);

// Each part of the above alone, on one judged unit.
UnitResult JudgedUnit() {
  UnitResult unit;
  unit.serial = "SN0000001";
  unit.limits = ExampleLimits();
  unit.results = OneRun();
  unit.judgement = Judge(unit.results, &unit.limits->limits);
  return unit;
}

void LimitsFileLoaded(benchmark::State& state) {
  const std::string path = std::string(TESTS_SOURCE_DIR) + "/../examples/limits.toml";
  for (auto _ : state) benchmark::DoNotOptimize(LoadLimits(path));
}
BENCHMARK(LimitsFileLoaded)->Unit(benchmark::kMicrosecond);

void ResultJsonWritten(benchmark::State& state) {
  const UnitResult unit = JudgedUnit();
  for (auto _ : state) benchmark::DoNotOptimize(ResultJsonText(unit, 2));
}
BENCHMARK(ResultJsonWritten)->Unit(benchmark::kMicrosecond);

void JunitWritten(benchmark::State& state) {
  const UnitResult unit = JudgedUnit();
  for (auto _ : state) benchmark::DoNotOptimize(JunitReport(unit));
}
BENCHMARK(JunitWritten)->Unit(benchmark::kMicrosecond);

void HtmlReportWritten(benchmark::State& state) {
  const UnitResult unit = JudgedUnit();
  for (auto _ : state) benchmark::DoNotOptimize(HtmlReport(unit));
}
BENCHMARK(HtmlReportWritten)->Unit(benchmark::kMicrosecond);

void JudgeOnly(benchmark::State& state) {
  const RunResults results = OneRun();
  for (auto _ : state) benchmark::DoNotOptimize(Judge(results, &ExampleLimits().limits));
}
BENCHMARK(JudgeOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
