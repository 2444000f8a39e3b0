// ComputeDistortionAndNoise: distortion of the 1 kHz tone, noise level and
// signal-to-noise, on the worked example at pitch factor 1.
#include <cmath>
#include <gtest/gtest.h>

#include "analysis/analysis_steps.h"
#include "common/plain_number_text.h"
#include "common/run_error.h"
#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

class DistortionAndNoise : public ::testing::Test {
 protected:
  void SetUp() override {
    run.RunThrough("AcquireSpectra");
    Fill(r().SpectrumLeft, 0.00001f);
    Fill(r().SpectrumRight, 0.00002f);
    r().TotalLevelLeft = 0.7071;
    r().TotalLevelRight = 0.7071;
  }
  MeasurementRecord& r() { return run.record; }
  static void Fill(std::vector<float>& spectrum, float value) {
    std::fill(spectrum.begin(), spectrum.end() - 1, value);
  }
  void SetHarmonics(std::vector<float>& spectrum, float second, float third) {
    for (int h = 2; h <= 9; ++h) spectrum[Bin(r().HarmonicBin[h].ToDouble())] = 0.0f;
    spectrum[Bin(r().HarmonicBin[2].ToDouble())] = second;
    spectrum[Bin(r().HarmonicBin[3].ToDouble())] = third;
  }

  ScriptedRun run;
};

TEST_F(DistortionAndNoise, ReproducesTheWorkedExample) {
  r().SpectrumLeft[341] = 0.5f;
  SetHarmonics(r().SpectrumLeft, 0.0005f, 0.0002f);
  r().SpectrumRight[341] = 0.5f;
  SetHarmonics(r().SpectrumRight, 0.0f, 0.0f);
  ComputeDistortionAndNoise(r());

  // The sums to the last bit, worked out apart from this code (each 32-bit
  // value widened exactly, squared and summed in 64 bits): squares taken in
  // 32 bits differ here in the low bits, which reach the 15-digit texts.
  EXPECT_EQ(r().HarmonicPowerLeft.ToDouble(), 0x1.3762995729884p-22);  // 2.9000002e-7
  EXPECT_NEAR(r().HarmonicTotalLeft, 0.50000029, 5e-9);
  EXPECT_EQ(r().DistortionLeft.ToDouble(), 0x1.b92707ba2cb12p-4);  // 0.10770324 %
  EXPECT_EQ(r().NoiseBinsLeft, GeneralValue::Int16(6352));
  EXPECT_EQ(r().NoiseLeft.ToDouble(), 0x1.9f9f3ef6f82ddp-12);  // 0.00039636808 V
  EXPECT_NEAR(r().SignalToNoiseLeft.ToDouble(), 65.027643, 5e-7);

  EXPECT_EQ(r().HarmonicPowerRight, GeneralValue::Float64(0.0));
  EXPECT_EQ(r().HarmonicTotalRight, 0.5);
  EXPECT_EQ(r().DistortionRight, GeneralValue::Float64(0.0));
  EXPECT_EQ(r().NoiseBinsRight, 6342);
  EXPECT_EQ(r().NoiseRight, 0x1.9f9f3ef6f82ddp-11);  // 0.00079273616 V
  EXPECT_NEAR(r().SignalToNoiseRight.ToDouble(), 59.007043, 5e-7);
  EXPECT_EQ(r().SignalToNoiseRight.Kind(), ValueKind::Float64);
}

TEST_F(DistortionAndNoise, ScalesNoiseByTheBandNotTheBinCount) {
  ComputeDistortionAndNoise(r());
  const double expected = 0.00001f * std::sqrt(6820.0) / 2.0835;
  EXPECT_NEAR(r().NoiseLeft.ToDouble(), expected, expected * 1e-6);
}

TEST_F(DistortionAndNoise, GivesSentinelsWhereFiguresCannotBeFormed) {
  std::fill(r().SpectrumLeft.begin(), r().SpectrumLeft.end(), 0.0f);
  r().TotalLevelRight = 0.0;  // no level reading: 240 even with noise
  ComputeDistortionAndNoise(r());
  EXPECT_EQ(r().DistortionLeft, GeneralValue::Int16(0));
  EXPECT_EQ(PlainNumberText(r().DistortionLeft), " 0");
  EXPECT_EQ(r().SignalToNoiseLeft, GeneralValue::Int16(240));
  EXPECT_EQ(r().SignalToNoiseRight, GeneralValue::Int16(240));
  EXPECT_GT(r().NoiseRight, 0.0);
}

TEST_F(DistortionAndNoise, ANegativeLevelReadingGives240WithoutAnError) {
  r().TotalLevelLeft = -0.5;
  ComputeDistortionAndNoise(r());
  EXPECT_EQ(r().SignalToNoiseLeft, GeneralValue::Int16(240));
}

TEST_F(DistortionAndNoise, TakesTheRightHarmonicsAtTheLeftTonesBins) {
  r().ToneBinRight[7] = 400;  // the right tone 7 elsewhere
  r().SpectrumRight[400] = 0.5f;
  SetHarmonics(r().SpectrumRight, 0.0005f, 0.0002f);
  ComputeDistortionAndNoise(r());
  EXPECT_NEAR(r().DistortionRight.ToDouble(), 0.10770324, 1e-8);
}

TEST_F(DistortionAndNoise, AnEmptyNoiseBandIsAnInvalidOperation) {
  std::fill(r().NoiseMaskLeft.begin(), r().NoiseMaskLeft.end(), 1);
  try {
    ComputeDistortionAndNoise(r());
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::InvalidFloatingPoint);
  }
}

}  // namespace
}  // namespace multitone::testing
