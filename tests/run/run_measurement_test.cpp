// RunMeasurement: the steps in order, the traffic of a whole run, and what a
// failure anywhere does: it stops the run where it occurs, names the step,
// and nothing more is sent.
#include "run/run_measurement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

using Kind = ScriptedOperation::Kind;

std::size_t CountOf(const std::vector<ScriptedOperation>& ops, Kind kind) {
  return static_cast<std::size_t>(
      std::count_if(ops.begin(), ops.end(), [kind](const auto& op) { return op.kind == kind; }));
}

TEST(RunMeasurement, CallsTheStepsInTheirFixedOrder) {
  std::vector<std::string> names;
  for (const RunStep& step : RunSteps()) names.emplace_back(step.name);
  EXPECT_THAT(names, ::testing::ElementsAre(
                         "ConfigureAnalyzer", "FillToneTables", "ConfigureFft", "MeasurePitch",
                         "BuildTonePlan", "BuildNoiseMasks", "AcquireSpectra", "ComputeToneResults",
                         "ComputeDistortionAndNoise", "WriteResultStrings", "DrawResponseGraph",
                         "ShowResultsTable", "FinishRun"));
}

TEST(RunMeasurement, ACompleteRunHasTheOperationCountsOfTheLink) {
  ScriptedRun run;
  RunMeasurement(run.record);
  const auto& ops = run.analyzer.Operations();
  EXPECT_EQ(CountOf(ops, Kind::Initialize), 1u);
  EXPECT_EQ(CountOf(ops, Kind::Write), 36u);  // no set command needed
  EXPECT_EQ(CountOf(ops, Kind::Read), 10u);
  EXPECT_EQ(CountOf(ops, Kind::ReadBlock), 2u);
  EXPECT_EQ(CountOf(ops, Kind::Close), 1u);
  EXPECT_EQ(ops.front().kind, Kind::Initialize);
  EXPECT_EQ(ops.back().kind, Kind::Close);
  EXPECT_EQ(run.analyzer.Connections(), 1u);

  AnalyzerScript unconfigured;
  unconfigured.unit_left = unconfigured.unit_right = unconfigured.window = "x";
  unconfigured.fft_size = unconfigured.band_mode = "x";
  ScriptedRun full(unconfigured);
  RunMeasurement(full.record);
  EXPECT_EQ(CountOf(full.analyzer.Operations(), Kind::Write), 41u);
}

TEST(RunMeasurement, AcquiresWithFormRealBeforeEachBlock) {
  ScriptedRun run;
  run.RunThrough("AcquireSpectra");
  const auto received = run.analyzer.Received();
  const std::vector<std::string> tail(received.end() - 7, received.end());
  EXPECT_THAT(tail, ::testing::ElementsAre("init:cont off;*wai", "sens:data?", "sens:data2?",
                                           "form real", "trac:load:fft_ay?", "form real",
                                           "trac:load:fft_by?"));
  EXPECT_EQ(run.record.LastResponse, "0.7071");
}

TEST(RunMeasurement, EndsWithTheHandShakeAndClose) {
  AnalyzerScript script;
  script.memory_24 = "\"\"";
  script.memory_8 = "\" 95 dB, 96 dB\"";
  ScriptedRun run(script);
  RunMeasurement(run.record);
  const auto& ops = run.analyzer.Operations();
  ASSERT_GE(ops.size(), 5u);
  const std::vector<ScriptedOperation> last(ops.end() - 5, ops.end());
  EXPECT_THAT(last, ::testing::ElementsAre(ScriptedOperation{Kind::Write, "syst:mem:str24?"},
                                           ScriptedOperation{Kind::Read, "\"\""},
                                           ScriptedOperation{Kind::Write, "syst:mem:str8?"},
                                           ScriptedOperation{Kind::Read, "\" 95 dB, 96 dB\""},
                                           ScriptedOperation{Kind::Close, ""}));
  EXPECT_EQ(run.record.LastResponse, "\" 95 dB, 96 dB\"");
}

TEST(RunMeasurement, KeepsTheSpectrumsLastElementWhateverTheAnalyzerSends) {
  AnalyzerScript script;
  script.spectrum_left = std::vector<float>(9000, 0.25f);  // more values than asked for
  script.spectrum_right = std::vector<float>(100, 0.5f);   // fewer
  ScriptedRun run(script);
  run.RunThrough("AcquireSpectra");
  EXPECT_EQ(run.record.SpectrumLeft[8191], 0.25f);
  EXPECT_EQ(run.record.SpectrumLeft[8192], 0.0f);
  EXPECT_EQ(run.record.SpectrumRight[99], 0.5f);
  EXPECT_EQ(run.record.SpectrumRight[100], 0.0f);
  EXPECT_EQ(run.record.RefLevelLeft, 0.25f);
}

// Failing each operation in turn: the run stops there, names the step, and
// sends nothing after it; Close is never sent.
TEST(RunMeasurement, AFailureAtAnyOperationStopsTheRunThere) {
  ScriptedRun complete;
  RunMeasurement(complete.record);
  const std::size_t operations = complete.analyzer.Operations().size();
  for (std::size_t cut = 0; cut < operations; ++cut) {
    ScriptedRun run;
    run.analyzer.FailAtOperation(cut, "connection closed by the analyzer");
    try {
      RunMeasurement(run.record);
      ADD_FAILURE() << "no error at operation " << cut;
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
      EXPECT_FALSE(error.Step().empty());
      EXPECT_THAT(error.Report(), ::testing::StartsWith("error 440: " + error.Step() + ": "));
    }
    EXPECT_EQ(run.analyzer.Operations().size(), cut) << "operations after the cut at " << cut;
    EXPECT_EQ(CountOf(run.analyzer.Operations(), Kind::Close), 0u);
  }
}

TEST(RunMeasurement, NamesTheStepWhereAComputationFails) {
  AnalyzerScript script;
  script.frequency = "";  // pitch factor 0: the masks meet their index limit
  ScriptedRun run(script);
  try {
    RunMeasurement(run.record);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::IndexOutOfRange);
    EXPECT_EQ(error.Step(), "BuildNoiseMasks");
    EXPECT_THAT(error.Report(), ::testing::HasSubstr("error 9: BuildNoiseMasks: NoiseMaskLeft(-10)"));
  }
  EXPECT_EQ(run.analyzer.Received().back(), "INP:FILT OFF");
}

TEST(RunMeasurement, ALinkThatCannotBeCreatedIsError429) {
  MeasurementRecord record;
  record.CreateAnalyzer = [] () -> std::unique_ptr<AnalyzerLink> {
    throw RunError(ErrorNumber::LinkCannotBeCreated, "cannot resolve analyzer host 'nowhere'");
  };
  try {
    RunMeasurement(record);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Report(), "error 429: ConfigureAnalyzer: cannot resolve analyzer host 'nowhere'");
  }
}

}  // namespace
}  // namespace multitone::testing
