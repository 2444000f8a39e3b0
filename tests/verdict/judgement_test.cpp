// The verdict of a unit: one table of figure outcomes against bounds, and one
// of how outcomes and the end of the run combine into the unit's verdict.
#include <gtest/gtest.h>

#include "verdict/judgement.h"

namespace multitone {
namespace {

// A complete run whose every figure is defined and passes an empty limits set.
RunResults CompleteRun() {
  RunResults results;
  results.complete = true;
  results.pitch_error = {0.2, true};
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) results.Of(channel)[figure] = {1.0, true};
    for (int tone = 1; tone <= 16; ++tone) {
      results.Of(channel).tones.push_back({tone, tone == 7 ? 1000.0 : 100.0 * tone, 0, {0.0, true}});
    }
  }
  return results;
}

std::optional<Outcome> PitchOutcome(const Judgement& j) { return j.measurements.front().outcome; }

TEST(Judge, PitchErrorAgainstItsBounds) {
  struct Case {
    double value;
    bool defined;
    FigureLimit limit;
    std::optional<Outcome> expected;
  };
  const Case cases[] = {
      {0.5, true, {-0.5, 0.5, 0}, Outcome::Pass},           // a bound is inclusive
      {-0.5, true, {-0.5, 0.5, 0}, Outcome::Pass},
      {0.50001, true, {-0.5, 0.5, 0}, Outcome::Fail},
      {-0.6, true, {-0.5, std::nullopt, 0}, Outcome::Fail},  // min alone
      {0.45, true, {-0.5, 0.5, 0.1}, Outcome::Marginal},    // within the guard band
      {-0.45, true, {-0.5, 0.5, 0.1}, Outcome::Marginal},
      {0.35, true, {-0.5, 0.5, 0.1}, Outcome::Pass},
      {0.0, false, {-0.5, 0.5, 0}, Outcome::Fail},          // not defined fails any limit
      {0.0, false, {}, std::nullopt},                       // no limit, no outcome
  };
  for (const Case& c : cases) {
    RunResults results = CompleteRun();
    results.pitch_error = {c.value, c.defined};
    Limits limits;
    limits.pitch_error = c.limit;
    EXPECT_EQ(PitchOutcome(Judge(results, &limits)), c.expected) << c.value << " defined " << c.defined;
  }
}

TEST(Judge, VerdictFromOutcomesAndTheRunsEnd) {
  struct Case {
    bool judged, failed, any_fail, any_marginal;
    Verdict expected;
  };
  const Case cases[] = {
      {true, false, false, false, Verdict::Pass},
      {true, false, false, true, Verdict::Marginal},
      {true, false, true, true, Verdict::Fail},
      {true, true, true, false, Verdict::Fail},       // a FAIL established before the error
      {true, true, false, true, Verdict::Error},      // marginal never hides an error
      {true, true, false, false, Verdict::Error},
      {false, false, false, false, Verdict::NotJudged},
      {false, true, false, false, Verdict::Error},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CombineVerdict(c.judged, c.failed, c.any_fail, c.any_marginal), c.expected)
        << c.judged << c.failed << c.any_fail << c.any_marginal;
  }
}

TEST(Judge, AFailedRunJudgesOnlyWhatItFormed) {
  // A dead left channel: the reference reads 0 Hz (pitch error 100 %), then
  // the run ends with an index error; the later figures never formed.
  RunResults results;
  results.error = RunFailure{9, "BuildNoiseMasks", "index"};
  results.pitch_error = {100.0, true};
  for (const Channel channel : kChannels) results.Of(channel).tones.resize(16);
  Limits limits;
  limits.pitch_error = {-0.5, 0.5, 0};
  limits.figures[0][static_cast<std::size_t>(Figure::SignalToNoise)] = {60, std::nullopt, 0};
  EXPECT_EQ(Judge(results, &limits).verdict, Verdict::Fail);

  results.pitch_error = {0.1, true};
  const Judgement judgement = Judge(results, &limits);
  EXPECT_EQ(judgement.verdict, Verdict::Error);
  EXPECT_TRUE(judgement.With(Outcome::Fail).empty());
}

TEST(Judge, ResponseMaskAtEachTonesNominalFrequencyExceptTheReference) {
  RunResults results = CompleteRun();
  Limits limits;
  limits.response_mask = {{100, -1, 1}, {1000, -3, 3}, {10000, -1, 1}};
  results.left.tones[0].response_db = {-50, true};   // 100 Hz, at the first point
  results.left.tones[6].response_db = {-50, true};   // 1 kHz: the reference, never judged
  results.right.tones[15].response_db = {-50, true}; // 1600 Hz, between two points
  const Judgement j = Judge(results, &limits);
  std::vector<std::string> failed;
  for (const Measurement* m : j.With(Outcome::Fail)) {
    failed.push_back(std::string(m->channel) + " " + std::to_string(m->tone));
  }
  EXPECT_EQ(failed, (std::vector<std::string>{"left 1", "right 16"}));
  // The measurements list the pitch error, 2 × 7 figures, then left tone 1
  // (100 Hz, the mask's first point) and the reference tone without bounds.
  EXPECT_EQ(j.measurements[15].low, -1);
  EXPECT_FALSE(j.measurements[21].low.has_value());
}

TEST(MaskBounds, StraightInDbOverLogFrequencyAndNothingOutside) {
  const std::vector<MaskPoint> mask = {{100, -2, 1}, {10000, -6, 3}};
  struct Case {
    double hz;
    std::optional<std::pair<double, double>> bounds;
  };
  const Case cases[] = {
      {100, std::pair{-2.0, 1.0}}, {1000, std::pair{-4.0, 2.0}}, {10000, std::pair{-6.0, 3.0}},
      {99.9, std::nullopt},        {10001, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto bounds = MaskBoundsAt(mask, c.hz);
    ASSERT_EQ(bounds.has_value(), c.bounds.has_value()) << c.hz;
    if (bounds) {
      EXPECT_NEAR(bounds->first, c.bounds->first, 1e-12) << c.hz;
      EXPECT_NEAR(bounds->second, c.bounds->second, 1e-12) << c.hz;
    }
  }
}

}  // namespace
}  // namespace multitone
