// Recording and replaying a run. A replayed run must be at least as fast as
// a run on the embedded simulated analyzer, and recording must add under
// 1 ms to a run: compare ReplayedRun with EmbeddedSimulatorRun, and
// RecordedScriptedRun + EncodeRecord with ScriptedRun (the scripted analyzer
// answers from memory, so the difference is the recording alone).
// WriteRecordDurably adds the file: a temporary file synced and renamed, as
// --record does, which mostly measures the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "app/doors/embedded_analyzer.h"
#include "common/durable_file.h"
#include "replay/record_file.h"
#include "replay/recording_transport.h"
#include "replay/replay_transport.h"
#include "run/run_measurement.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

void Run(const AnalyzerFactory& factory) {
  MeasurementRecord record;
  record.CreateAnalyzer = factory;
  RunMeasurement(record);
  benchmark::DoNotOptimize(record.ResultTable.data());
}

// The operations of one run on the embedded simulated analyzer.
std::shared_ptr<const LinkRecord> RecordedSimulatorRun() {
  auto operations = std::make_shared<std::vector<LinkOperation>>();
  Run(MakeEmbeddedAnalyzerFactory("sim", std::chrono::seconds(20), nullptr, nullptr,
                                  [&](std::unique_ptr<Transport> transport) {
                                    return MakeRecordingTransport(std::move(transport), operations,
                                                                  std::chrono::steady_clock::now());
                                  }));
  auto record = std::make_shared<LinkRecord>();
  record->header.run_id = "benchmark";
  record->operations = *operations;
  return record;
}

void EmbeddedSimulatorRun(benchmark::State& state) {
  const AnalyzerFactory factory = MakeEmbeddedAnalyzerFactory("sim", std::chrono::seconds(20), nullptr, nullptr);
  for (auto _ : state) Run(factory);
}
BENCHMARK(EmbeddedSimulatorRun)->Unit(benchmark::kMillisecond);

void ReplayedRun(benchmark::State& state) {
  const std::string text = EncodeRecord(*RecordedSimulatorRun());
  for (auto _ : state) {
    // As replay:FILE does for every run: the record decoded, then answered.
    auto record = std::make_shared<const LinkRecord>(DecodeRecord(text));
    Run([&] { return std::make_unique<AnalyzerLink>(MakeReplayTransport(record, "benchmark", false)); });
  }
}
BENCHMARK(ReplayedRun)->Unit(benchmark::kMillisecond);

void ScriptedRun(benchmark::State& state, bool recorded) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  for (auto _ : state) {
    auto operations = std::make_shared<std::vector<LinkOperation>>();
    Run([&]() -> std::unique_ptr<AnalyzerLink> {
      std::unique_ptr<Transport> transport = analyzer.Connect();
      if (recorded) transport = MakeRecordingTransport(std::move(transport), operations, std::chrono::steady_clock::now());
      return std::make_unique<AnalyzerLink>(std::move(transport));
    });
    benchmark::DoNotOptimize(operations->data());
  }
}
void ScriptedRun(benchmark::State& state) { ScriptedRun(state, false); }
BENCHMARK(ScriptedRun)->Unit(benchmark::kMicrosecond);
void RecordedScriptedRun(benchmark::State& state) { ScriptedRun(state, true); }
BENCHMARK(RecordedScriptedRun)->Unit(benchmark::kMicrosecond);

void EncodeRecordOfARun(benchmark::State& state) {
  const auto record = RecordedSimulatorRun();
  for (auto _ : state) {
    std::string text = EncodeRecord(*record);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(EncodeRecordOfARun)->Unit(benchmark::kMicrosecond);

void WriteRecordDurably(benchmark::State& state) {
  const std::string text = EncodeRecord(*RecordedSimulatorRun());
  const std::string path =
      (std::filesystem::temp_directory_path() / ("record_benchmark_" + std::to_string(::getpid()) + ".jsonl")).string();
  for (auto _ : state) {
    if (!WriteFileDurably(path, text).empty()) state.SkipWithError("cannot write the record");
  }
  std::filesystem::remove(path);
}
BENCHMARK(WriteRecordDurably)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
