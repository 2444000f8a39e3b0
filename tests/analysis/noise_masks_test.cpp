// BuildNoiseMasks: which bins may count as noise.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/analysis_steps.h"
#include "common/run_error.h"
#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

// The marked ranges of a mask as "a-b" texts.
std::vector<std::string> MarkedRanges(const std::vector<std::int16_t>& mask) {
  std::vector<std::string> ranges;
  for (std::size_t k = 0; k < mask.size(); ++k) {
    if (mask[k] == 0) continue;
    const std::size_t first = k;
    while (k + 1 < mask.size() && mask[k + 1] != 0) ++k;
    ranges.push_back(std::to_string(first) + "-" + std::to_string(k));
  }
  return ranges;
}

int UnmarkedInBand(const MeasurementRecord& r, const std::vector<std::int16_t>& mask) {
  int count = 0;
  for (auto k = static_cast<std::size_t>(r.LowerLimitBin); k <= static_cast<std::size_t>(r.UpperLimitBin); ++k) {
    count += mask[k] == 0;
  }
  return count;
}

TEST(BuildNoiseMasks, MarksTheWorkedRangesAtPitchFactorOne) {
  ScriptedRun run;
  run.RunThrough("BuildNoiseMasks");
  const MeasurementRecord& r = run.record;
  const std::vector<std::string> left = {
      "1-44",      "69-89",     "154-174",   "232-252",   "331-351",   "519-539",
      "673-693",   "877-897",   "1014-1034", "1355-1375", "1492-1512", "1697-1717",
      "2038-2058", "2379-2399", "2413-2433", "2721-2741", "3062-3082", "3369-3389",
      "4086-4106", "5110-5130", "6134-6154", "6817-8192"};
  EXPECT_EQ(MarkedRanges(r.NoiseMaskLeft), left);
  std::vector<std::string> right = left;
  right[0] = "1-54";
  right[17] = "3437-3457";
  EXPECT_EQ(MarkedRanges(r.NoiseMaskRight), right);
  EXPECT_EQ(UnmarkedInBand(r, r.NoiseMaskLeft), 6352);
  EXPECT_EQ(UnmarkedInBand(r, r.NoiseMaskRight), 6342);
}

// A device off nominal speed moves every tone window but not the band
// limits: both ends of the band stay excluded, and the masks differ only
// where the two plans do (tones 3 and 12).
TEST(BuildNoiseMasks, KeepsTheBandEdgesAndBothMasksAlikeOffNominalSpeed) {
  for (const char* reference : {"985", "998.5", "1000", "1001.2", "1015"}) {
    SCOPED_TRACE(reference);
    AnalyzerScript script;
    script.frequency = reference;
    ScriptedRun run(script);
    run.RunThrough("BuildNoiseMasks");
    const MeasurementRecord& r = run.record;
    for (const auto* mask : {&r.NoiseMaskLeft, &r.NoiseMaskRight}) {
      EXPECT_EQ((*mask)[Bin(r.LowerLimitBin)], 1);
      EXPECT_EQ((*mask)[Bin(r.UpperLimitBin)], 1);
    }
    const auto near_tone_3_or_12 = [&](double k) {
      for (const int tone : {3, 12}) {
        for (const double bin : {r.ToneBinLeft[tone], r.ToneBinRight[tone]}) {
          if (std::abs(k - bin) <= r.GuardBins) return true;
        }
      }
      return false;
    };
    for (std::size_t k = 0; k < r.NoiseMaskLeft.size(); ++k) {
      if (near_tone_3_or_12(static_cast<double>(k))) continue;
      ASSERT_EQ(r.NoiseMaskLeft[k], r.NoiseMaskRight[k]) << "bin " << k;
    }
  }
}

class MaskWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    run.RunThrough("BuildTonePlan");
    std::fill(r().ToneBinLeft.begin() + 1, r().ToneBinLeft.end(), 4000.0);
    std::fill(r().ToneBinRight.begin() + 1, r().ToneBinRight.end(), 4000.0);
  }
  MeasurementRecord& r() { return run.record; }
  ScriptedRun run;
};

TEST_F(MaskWindows, ClampsAToneWithinGuardBinsOfTheBottomAtBinOne) {
  r().ToneBinLeft[1] = 10;  // equal to GuardBins: 1..20
  r().ToneBinRight[1] = 11;  // ordinary window: 1..21
  BuildNoiseMasks(r());
  EXPECT_EQ(MarkedRanges(r().NoiseMaskLeft).front(), "1-20");
  EXPECT_EQ(MarkedRanges(r().NoiseMaskRight).front(), "1-21");
  EXPECT_EQ(r().NoiseMaskLeft[0], 0);
}

TEST_F(MaskWindows, KeepsEachChannelsTonesInItsOwnMask) {
  r().ToneBinRight[5] = 5000;
  BuildNoiseMasks(r());
  EXPECT_EQ(r().NoiseMaskRight[5000], 1);
  EXPECT_EQ(r().NoiseMaskLeft[5000], 0);
}

TEST_F(MaskWindows, AHarmonicWindowHasNoClampAndMayReachBinZero) {
  r().HarmonicBin[2] = GeneralValue::Float64(10);
  BuildNoiseMasks(r());
  EXPECT_EQ(r().NoiseMaskLeft[0], 1);
  EXPECT_EQ(r().NoiseMaskRight[0], 1);
}

TEST_F(MaskWindows, MarksNothingAboveTheBandWhenItsLimitReachesTheEnd) {
  r().UpperLimitBin = 8192;
  BuildNoiseMasks(r());
  EXPECT_EQ(r().NoiseMaskLeft[8000], 0);
  EXPECT_EQ(r().NoiseMaskLeft[8192], 0);
}

ErrorNumber MaskErrorFor(const std::string& reply) {
  AnalyzerScript script;
  script.frequency = reply;
  ScriptedRun run(script);
  try {
    run.RunThrough("BuildNoiseMasks");
  } catch (const RunError& error) {
    return error.Number();
  }
  return ErrorNumber{0};
}

TEST(BuildNoiseMasks, StopsAtItsIndexLimitForAnUnreadablePitchReply) {
  // Pitch factor 0: the second harmonic's window starts below bin 0.
  EXPECT_EQ(MaskErrorFor("no number"), ErrorNumber::IndexOutOfRange);
  EXPECT_EQ(MaskErrorFor("13.9"), ErrorNumber::IndexOutOfRange);
  EXPECT_EQ(MaskErrorFor("14"), ErrorNumber{0});
}

TEST(BuildNoiseMasks, StopsAtItsIndexLimitForAReferenceToneNear1200Hz) {
  // The 20 kHz tone's window passes bin 8192 from bin 8183 up.
  EXPECT_EQ(MaskErrorFor("1198"), ErrorNumber{0});
  EXPECT_EQ(MaskErrorFor("1199"), ErrorNumber::IndexOutOfRange);
}

}  // namespace
}  // namespace multitone::testing
