// ConfigureAnalyzer and ConfigureFft: constants, table sizes, and the five
// settings sent only where the analyzer's answer differs.
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> ConfigurationTraffic(const AnalyzerScript& script) {
  ScriptedRun run(script);
  run.RunThrough("ConfigureFft");
  return run.analyzer.Received();
}

TEST(Configuration, SendsSevenTextsToAnAnalyzerAlreadyInState) {
  ScriptedRun run;
  run.RunThrough("ConfigureFft");
  const auto& ops = run.analyzer.Operations();
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front(), (ScriptedOperation{ScriptedOperation::Kind::Initialize, "selfadjustment"}));
  EXPECT_THAT(run.analyzer.Received(),
              ElementsAre("DISP:FFT:A:UNIT:TRAC ON", "DISP:FFT:B:UNIT:TRAC ON", "SENS:UNIT?",
                          "SENS:UNIT2?", "sens:func:fft:wind?", "sens:func:fft:size?",
                          "inp:band:mode?"));
  EXPECT_EQ(run.analyzer.Connections(), 1u);
}

TEST(Configuration, SendsEachSetCommandRightAfterItsQueryWhenTheAnswerDiffers) {
  AnalyzerScript script;
  script.unit_left = "V ";     // a trailing blank is a difference
  script.window = "flat";      // so is another letter case
  script.fft_size = " S16K";
  script.band_mode = "B22\r";
  EXPECT_THAT(ConfigurationTraffic(script),
              ElementsAre("DISP:FFT:A:UNIT:TRAC ON", "DISP:FFT:B:UNIT:TRAC ON", "SENS:UNIT?",
                          "SENS:UNIT V", "SENS:UNIT2?", "sens:func:fft:wind?",
                          "sens:func:fft:wind flat", "sens:func:fft:size?",
                          "sens:func:fft:size S16K", "inp:band:mode?", "inp:band:mode B22"));
}

TEST(Configuration, SendsAllFiveSetCommandsToAnAnalyzerInAnotherState) {
  AnalyzerScript script;
  script.unit_left = script.unit_right = "DBV";
  script.window = "HANN";
  script.fft_size = "S8K";
  script.band_mode = "B44";
  EXPECT_EQ(ConfigurationTraffic(script).size(), 12u);
}

TEST(Configuration, SetsTheRunConstantsWithTheirKinds) {
  ScriptedRun run;
  run.RunThrough("ConfigureFft");
  const MeasurementRecord& r = run.record;
  EXPECT_EQ(r.LowerLimitHz, 20);
  EXPECT_EQ(r.UpperLimitHz, 20000);
  EXPECT_EQ(r.HarmonicCount, 9);
  EXPECT_EQ(r.ToneCount, 16);
  EXPECT_EQ(r.NoiseCorrection, 2.0835);
  EXPECT_EQ(r.GuardBins, 10);
  EXPECT_EQ(r.FftSize, 16384);
  EXPECT_EQ(r.SampleRate, 48000);
  EXPECT_EQ(r.BinWidth, 2.9296875);
}

TEST(Configuration, SizesEveryTable) {
  ScriptedRun run;
  run.RunThrough("ConfigureFft");
  const MeasurementRecord& r = run.record;
  for (const std::size_t size :
       {r.ToneFreqLeft.size(), r.ToneFreqRight.size(), r.ToneBinLeft.size(), r.ToneBinRight.size(),
        r.ToneLevelLeft.size(), r.ToneLevelRight.size(), r.CrosstalkRight.size(),
        r.CrosstalkLeft.size(), r.ResponseLeft.size(), r.ResponseRight.size()}) {
    EXPECT_EQ(size, 17u);
  }
  EXPECT_EQ(r.HarmonicBin.size(), 10u);
  for (const std::size_t size : {r.NoiseMaskLeft.size(), r.NoiseMaskRight.size(),
                                 r.SpectrumLeft.size(), r.SpectrumRight.size()}) {
    EXPECT_EQ(size, 8193u);
  }
}

}  // namespace
}  // namespace multitone::testing
