// MeasurePitch and BuildTonePlan: the pitch factor from the reference-tone
// reply, the corrected tones, their bins and the frequency lists.
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/plain_number_text.h"
#include "common/run_error.h"
#include "support/scripted_run.h"

namespace multitone::testing {
namespace {

MeasurementRecord& PlanFor(ScriptedRun& run) {
  run.RunThrough("BuildTonePlan");
  return run.record;
}

AnalyzerScript WithFrequency(std::string reply) {
  AnalyzerScript script;
  script.frequency = std::move(reply);
  return script;
}

TEST(MeasurePitch, SendsTheBandPassThenReadsTheFrequency) {
  ScriptedRun run;
  run.RunThrough("MeasurePitch");
  const auto received = run.analyzer.Received();
  const std::vector<std::string> tail(received.end() - 5, received.end());
  EXPECT_THAT(tail, ::testing::ElementsAre(
                        "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ;"
                        ":SENS:UFIL:ATT 60 DB",
                        "INP:FILT UFIL1", "init:cont off;*wai", "sens3:data?", "INP:FILT OFF"));
  EXPECT_EQ(run.record.LastResponse, "1000");
  EXPECT_EQ(run.record.PitchFactor, 1.0);
}

TEST(MeasurePitch, ReadsEveryReplyFormOfTheReferenceFrequency) {
  for (const char* reply : {"999.5", " 999.5\n", "+999.5", "999.5 HZ"}) {
    ScriptedRun run(WithFrequency(reply));
    run.RunThrough("MeasurePitch");
    EXPECT_EQ(run.record.PitchFactor, 0.9995) << reply;
  }
  ScriptedRun comma(WithFrequency("1000,5"));
  comma.RunThrough("MeasurePitch");
  EXPECT_EQ(comma.record.PitchFactor, 1.0);
  ScriptedRun empty(WithFrequency(""));
  empty.RunThrough("MeasurePitch");
  EXPECT_EQ(empty.record.PitchFactor, 0.0);
}

TEST(MeasurePitch, RefusesAReplyTooLargeForA64BitFloat) {
  ScriptedRun run(WithFrequency("1E400"));
  try {
    run.RunThrough("MeasurePitch");
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::TypeMismatch);
  }
  // Nothing is sent after the failing conversion.
  EXPECT_EQ(run.analyzer.Received().back(), "sens3:data?");
}

TEST(BuildTonePlan, KeepsTheNominalTonesAtPitchFactorOne) {
  ScriptedRun run;
  const MeasurementRecord& r = PlanFor(run);
  const std::vector<double> left_bins = {10,   24,   34,   79,   164,  242,  341,  529,
                                         887,  1502, 2423, 3379, 4096, 5120, 6144, 6827};
  for (int w = 1; w <= 16; ++w) {
    EXPECT_EQ(r.ToneBinLeft[w], left_bins[w - 1]) << "tone " << w;
    const double right = w == 3 ? 44 : w == 12 ? 3447 : left_bins[w - 1];
    EXPECT_EQ(r.ToneBinRight[w], right) << "tone " << w;
    EXPECT_EQ(r.ToneFreqLeft[w].Kind(), ValueKind::Float64);
  }
  EXPECT_EQ(r.FreqListLeft,
            " 30, 70, 100, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 9900, 12000, 15000, "
            "18000, 20000");
  EXPECT_EQ(r.FreqListRight,
            " 30, 70, 130, 230, 480, 710, 1000, 1550, 2600, 4400, 7100, 10100, 12000, 15000, "
            "18000, 20000");
  const std::vector<double> harmonics = {683, 1024, 1365, 1707, 2048, 2389, 2731, 3072};
  for (int h = 2; h <= 9; ++h) EXPECT_EQ(r.HarmonicBin[h], GeneralValue::Float64(harmonics[h - 2]));
  EXPECT_TRUE(r.HarmonicBin[0].IsEmpty());
  EXPECT_TRUE(r.HarmonicBin[1].IsEmpty());
  EXPECT_EQ(r.LowerLimitBin, 7);
  EXPECT_EQ(r.UpperLimitBin, 6827);
}

TEST(BuildTonePlan, CorrectsEveryToneForASlowDevice) {
  ScriptedRun run(WithFrequency("999.5"));
  const MeasurementRecord& r = PlanFor(run);
  const std::vector<std::string> left_texts = {
      "29.985", "69.965", "99.95",  "229.885", "479.76", "709.645", "999.5", "1549.225",
      "2598.7", "4397.8", "7096.45", "9895.05", "11994", "14992.5", "17991", "19990"};
  const std::vector<double> left_bins = {10,   24,   34,   78,   164,  242,  341,  529,
                                         887,  1501, 2422, 3378, 4094, 5117, 6141, 6823};
  for (int w = 1; w <= 16; ++w) {
    EXPECT_EQ(PlainNumberText(r.ToneFreqLeft[w]).substr(1), left_texts[w - 1]) << "tone " << w;
    EXPECT_EQ(r.ToneBinLeft[w], left_bins[w - 1]) << "tone " << w;
  }
  EXPECT_EQ(PlainNumberText(r.ToneFreqRight[3]), " 129.935");
  EXPECT_EQ(PlainNumberText(r.ToneFreqRight[12]), " 10094.95");
  EXPECT_EQ(r.ToneBinRight[3], 44);
  EXPECT_EQ(r.ToneBinRight[12], 3446);
  const std::vector<double> harmonics = {682, 1023, 1365, 1706, 2047, 2388, 2729, 3070};
  for (int h = 2; h <= 9; ++h) EXPECT_EQ(r.HarmonicBin[h], GeneralValue::Float64(harmonics[h - 2]));
  EXPECT_EQ(r.LowerLimitBin, 7);
  EXPECT_EQ(r.UpperLimitBin, 6827);
}

TEST(BuildTonePlan, RoundsTheRightTonesTo32BitsAfterThe64BitProduct) {
  ScriptedRun run(WithFrequency("1001.2"));
  const MeasurementRecord& r = PlanFor(run);
  const std::vector<double> right = {30,   70,   130,   230,   480,   710,   1000,  1550,
                                     2600, 4400, 7100, 10100, 12000, 15000, 18000, 20000};
  for (int w = 1; w <= 16; ++w) {
    EXPECT_EQ(r.ToneFreqRight[w], static_cast<float>(1.0012 * right[w - 1])) << "tone " << w;
  }
  EXPECT_EQ(r.FreqListLeft,
            " 30.036, 70.084, 100.12, 230.276, 480.576, 710.852, 1001.2, 1551.86, 2603.12, "
            "4405.28, 7108.52, 9911.88, 12014.4, 15018, 18021.6, 20024");
}

TEST(BuildTonePlan, ListsHaveFifteenCommasAndABlankBeforeEveryItem) {
  ScriptedRun run(WithFrequency("1001.2345"));
  const MeasurementRecord& r = PlanFor(run);
  for (const std::string& list : {r.FreqListLeft, r.FreqListRight}) {
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 15);
    EXPECT_EQ(list.front(), ' ');
    EXPECT_NE(list.back(), ',');
    EXPECT_EQ(list.find(",,"), std::string::npos);
    for (std::size_t comma = list.find(','); comma != std::string::npos;
         comma = list.find(',', comma + 1)) {
      EXPECT_EQ(list[comma + 1], ' ');
    }
  }
  // 64-bit texts keep up to 15 digits, 32-bit texts at most 7.
  EXPECT_NE(r.FreqListLeft.find(" 1001.2345,"), std::string::npos);
  EXPECT_NE(r.FreqListRight.find(" 1001.234,"), std::string::npos);
}

TEST(BuildTonePlan, AFrequencyHalfWayBetweenTwoBinsGoesToTheUpperBin) {
  // 30 Hz × PitchFactor = 10.25390625 Hz, exactly bin 3.5.
  ScriptedRun run;
  run.RunThrough("MeasurePitch");
  run.record.PitchFactor = 10.25390625 / 30.0;
  run.RunThrough("BuildTonePlan");
  ASSERT_EQ(run.record.ToneFreqLeft[1].ToDouble(), 10.25390625);
  EXPECT_EQ(run.record.ToneBinLeft[1], 4.0);
}

TEST(BuildTonePlan, AnOverflowingPitchFactorStopsTheRunWithOverflow) {
  ScriptedRun run(WithFrequency("1E303"));
  try {
    PlanFor(run);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::Overflow);
  }
}

}  // namespace
}  // namespace multitone::testing
