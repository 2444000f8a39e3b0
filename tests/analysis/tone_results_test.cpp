// ComputeToneResults: tone levels, crosstalk, response and response lists.
#include <algorithm>
#include <gtest/gtest.h>

#include "analysis/analysis_steps.h"
#include "common/plain_number_text.h"
#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

class ToneResults : public ::testing::Test {
 protected:
  // A record after the acquisition, spectra set by the test.
  void SetUp() override { run.RunThrough("AcquireSpectra"); }

  MeasurementRecord& r() { return run.record; }
  float& Left(int tone) { return r().SpectrumLeft[Bin(r().ToneBinLeft[tone])]; }
  float& Right(int tone) { return r().SpectrumRight[Bin(r().ToneBinRight[tone])]; }
  void SetReferences(float left, float right) {
    Left(7) = left;
    Right(7) = right;
    r().RefLevelLeft = left;
    r().RefLevelRight = right;
  }

  ScriptedRun run;
};

TEST_F(ToneResults, AFlatResponseListsSixteenZeros) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 0.19f;
  SetReferences(0.19f, 0.19f);
  ComputeToneResults(r());
  const std::string flat = " 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0";
  EXPECT_EQ(r().ResponseListLeft, flat);
  EXPECT_EQ(r().ResponseListRight, flat);
  EXPECT_EQ(r().ResponseLeft[7], GeneralValue::Float64(0.0));
}

TEST_F(ToneResults, ListsTheWorkedResponses) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 1.0f;
  SetReferences(1.0f, 0.5f);
  Left(1) = 0.25f;   // ratios 0.25, 0.5, 1 and 2 to the reference 1.0
  Left(2) = 0.5f;
  Left(4) = 2.0f;
  Right(1) = 0.25f;  // ratio 0.5 to the reference 0.5
  ComputeToneResults(r());
  EXPECT_EQ(r().ResponseLeft[1], GeneralValue::Float64(-12.041199826559247));
  EXPECT_EQ(r().ResponseRight[1], GeneralValue::Float64(-6.020599913279623));
  EXPECT_EQ(r().ResponseLeft[4], GeneralValue::Float64(6.020599913279623));
  EXPECT_EQ(r().ResponseListLeft.substr(0, 57),
            "-12.0411998265592,-6.02059991327962, 0, 6.02059991327962,");
  EXPECT_EQ(r().ResponseListRight.substr(0, 18), "-6.02059991327962,");
  EXPECT_EQ(std::count(r().ResponseListLeft.begin(), r().ResponseListLeft.end(), ','), 15);
  EXPECT_NE(r().ResponseListLeft.back(), ',');
}

TEST_F(ToneResults, RoundsTheResponseQuotientTo32Bits) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 0.7f;
  SetReferences(0.7f, 0.7f);
  Left(1) = 0.3f;
  ComputeToneResults(r());
  EXPECT_EQ(r().ResponseLeft[1], GeneralValue::Float64(-7.359535015599426));
  EXPECT_EQ(r().ResponseListLeft.substr(0, 18), "-7.35953501559943,");
}

TEST_F(ToneResults, FloorsTheResponseAtMinus240) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 1.0f;
  SetReferences(1.0f, 1.0f);
  Left(1) = 1e-13f;  // -260 dB
  Left(2) = 0.0f;    // no tone
  Left(3) = 1.0001e-12f;  // a little above -240: kept
  ComputeToneResults(r());
  EXPECT_EQ(r().ResponseLeft[1], GeneralValue::Int16(-240));
  EXPECT_EQ(r().ResponseLeft[2], GeneralValue::Int16(-240));
  EXPECT_EQ(r().ResponseLeft[3].Kind(), ValueKind::Float64);
  EXPECT_GE(r().ResponseLeft[3].ToDouble(), -240.0);
  EXPECT_EQ(r().ResponseListLeft.substr(0, 9), "-240,-240");
}

TEST_F(ToneResults, AMissingReferenceMakesTheWholeChannelMinus240) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 1.0f;
  SetReferences(0.0f, 1.0f);
  ComputeToneResults(r());
  std::string expected;
  for (int w = 1; w <= 16; ++w) expected += w < 16 ? "-240," : "-240";
  EXPECT_EQ(r().ResponseListLeft, expected);
  EXPECT_EQ(r().ResponseRight[7], GeneralValue::Float64(0.0));
}

TEST_F(ToneResults, MeasuresCrosstalkAtTheOtherChannelsTones) {
  for (int w = 1; w <= 16; ++w) Left(w) = Right(w) = 0.5f;
  SetReferences(0.5f, 0.5f);
  // Left tone 3 (100 Hz) leaks into the right channel at one thousandth.
  r().SpectrumRight[Bin(r().ToneBinLeft[3])] = 0.0005f;
  // Right tone 12 (10100 Hz): twice as much in the left channel as its own.
  r().SpectrumLeft[Bin(r().ToneBinRight[12])] = 1.0f;
  ComputeToneResults(r());
  EXPECT_EQ(r().CrosstalkRight[3], GeneralValue::Float64(-59.99999958744238));
  EXPECT_EQ(PlainNumberText(r().CrosstalkRight[3]), "-59.9999995874424");
  EXPECT_EQ(r().CrosstalkLeft[12], 6.020599913279623);
  // Nothing at the other bin: the sentinels, one per kind.
  EXPECT_EQ(r().CrosstalkRight[12], GeneralValue::Int16(240));
  EXPECT_EQ(r().CrosstalkLeft[3], 240.0);
}

}  // namespace
}  // namespace multitone::testing
