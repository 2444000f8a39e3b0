// The gauge R&R ANOVA on two small studies worked out by hand, the F tail
// against its closed forms, and the verdict's bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "line/f_distribution.h"
#include "line/gauge_study.h"

namespace multitone {
namespace {

TEST(FDistribution, UpperTailMatchesClosedForms) {
  struct Case {
    double f, d1, d2, p;
  };
  const Case cases[] = {
      {1, 1, 1, 0.5},             // F(1, 1) is symmetric about 1 in log: P(F > 1) = 1/2
      {3, 2, 2, 0.25},            // d1 = d2 = 2: P(F > f) = 1 / (1 + f)
      {1, 2, 6, 27.0 / 64},       // d1 = 2: P(F > f) = (1 + 2f/d2)^(-d2/2) = (4/3)^-3
      {3, 2, 6, 0.125},           // (1 + 1)^-3
      {0.5, 2, 10, 0.6209213231}, // (1 + 0.1)^-5
      {0, 3, 7, 1},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(FUpperTail(c.f, c.d1, c.d2), c.p, 1e-10) << c.f << " " << c.d1 << " " << c.d2;
  }
  // I_x(a, 1) = x^a, I_x(1, b) = 1 - (1 - x)^b, on both sides of the switch point.
  EXPECT_NEAR(RegularizedBeta(0.3, 2.5, 1), std::pow(0.3, 2.5), 1e-12);
  EXPECT_NEAR(RegularizedBeta(0.9, 1, 4), 1 - std::pow(0.1, 4), 1e-12);
}

// 3 parts × 2 appraisers × 2 trials, values[(part × 2 + appraiser) × 2 + trial].
GaugeStudyData Study(std::vector<double> values) { return {3, 2, 2, std::move(values)}; }

TEST(GaugeStudy, NoAppraiserEffectGivesAvZeroAndAPooledInteraction) {
  // P1: A 10 12, B 12 10; P2: A 20 21, B 19 20; P3: A 30 29, B 30 31.
  // Grand mean 244/12 = 20.333; part means 11, 20, 30; both appraisers 122/6.
  // SS part = 4 × (9.333² + 0.333² + 9.667²) = 4 × 180.667 = 722.667, df 2, MS 361.333
  // SS appraiser = 0, df 1, MS 0
  // SS repeat = 2 + 2 + 0.5 × 4 = 6, df 6, MS 1
  // SS interaction = 2 × (0.5² × 4) = 2, df 2, MS 1; F = 1, p = (1 + 2/6)^-3 = 0.421875 > 0.25: pooled
  // Pooled MS = (2 + 6) / 8 = 1: EV = 1; AV² = (0 - 1) / 6 < 0 -> 0
  // PV² = (361.333 - 1) / 4 = 90.0833, PV = 9.49122; GRR = 1; TV = sqrt(91.0833) = 9.54376
  // %GRR = 100 / 9.54376 = 10.4780 %; ndc = floor(1.41 × 9.49122) = 13
  // Tolerance 100: 100 × 6 × 1 / 100 = 6 % -> acceptable
  const GaugeStudyResult g = AnalyseGaugeStudy(Study({10, 12, 12, 10, 20, 21, 19, 20, 30, 29, 30, 31}), 100.0);
  EXPECT_NEAR(g.ms_part, 361.333333, 1e-5);
  EXPECT_NEAR(g.ms_appraiser, 0, 1e-12);
  EXPECT_NEAR(g.ms_interaction, 1, 1e-12);
  EXPECT_NEAR(g.ms_repeatability, 1, 1e-12);
  EXPECT_NEAR(g.interaction_p, 0.421875, 1e-10);
  EXPECT_TRUE(g.pooled);
  EXPECT_NEAR(g.ev, 1, 1e-12);
  EXPECT_EQ(g.av, 0);
  EXPECT_EQ(g.interaction, 0);
  EXPECT_NEAR(g.grr, 1, 1e-12);
  EXPECT_NEAR(g.pv, 9.491224, 1e-6);
  EXPECT_NEAR(g.tv, 9.543759, 1e-6);
  ASSERT_TRUE(g.grr_percent_study && g.grr_percent_tolerance && g.ndc && g.verdict);
  EXPECT_NEAR(*g.grr_percent_study, 10.47805, 1e-4);
  EXPECT_NEAR(*g.grr_percent_tolerance, 6, 1e-10);
  EXPECT_EQ(*g.ndc, 13);
  EXPECT_EQ(*g.verdict, GaugeVerdict::Acceptable);
  // Without a tolerance the verdict follows the study variation: 10.48 % is conditional.
  EXPECT_EQ(AnalyseGaugeStudy(Study({10, 12, 12, 10, 20, 21, 19, 20, 30, 29, 30, 31}), {}).verdict,
            GaugeVerdict::Conditional);
}

TEST(GaugeStudy, ASignificantInteractionIsKeptAndAppraisersDiffer) {
  // The same parts; appraiser A reads 1 high, B 1 low, and the interaction
  // effects of A are +0.5, +0.5, -1 (B the opposite):
  // P1: A 11.5 13.5, B 8.5 10.5; P2: A 21 22, B 18 19; P3: A 29.5 30.5, B 29.5 30.5.
  // SS part = 722.667 (MS 361.333); SS appraiser = 6 × (1 + 1) = 12 (MS 12)
  // SS interaction = 2 × (0.25 × 4 + 1 × 2) = 6 (MS 3); SS repeat = 6 (MS 1)
  // F = 3, p = (1 + 3/3)^-3 = 0.125 <= 0.25: kept
  // EV = 1; interaction² = (3 - 1) / 2 = 1; AV² = (12 - 3) / 6 = 1.5, AV = 1.224745
  // GRR = sqrt(3.5) = 1.870829; PV² = (361.333 - 3) / 4 = 89.5833, PV = 9.464847
  // TV = sqrt(93.0833) = 9.647970; %GRR = 19.39093 %; ndc = floor(1.41 × 5.059167) = 7
  // Tolerance 20: 100 × 6 × 1.870829 / 20 = 56.1249 % -> not acceptable
  const GaugeStudyResult g =
      AnalyseGaugeStudy(Study({11.5, 13.5, 8.5, 10.5, 21, 22, 18, 19, 29.5, 30.5, 29.5, 30.5}), 20.0);
  EXPECT_NEAR(g.ms_appraiser, 12, 1e-10);
  EXPECT_NEAR(g.ms_interaction, 3, 1e-10);
  EXPECT_NEAR(g.interaction_p, 0.125, 1e-10);
  EXPECT_FALSE(g.pooled);
  EXPECT_NEAR(g.ev, 1, 1e-12);
  EXPECT_NEAR(g.interaction, 1, 1e-10);
  EXPECT_NEAR(g.av, 1.2247449, 1e-7);
  EXPECT_NEAR(g.grr, 1.8708287, 1e-7);
  EXPECT_NEAR(g.pv, 9.464847, 1e-6);
  EXPECT_NEAR(g.tv, 9.647970, 1e-6);
  ASSERT_TRUE(g.grr_percent_study && g.grr_percent_tolerance && g.ndc && g.verdict);
  EXPECT_NEAR(*g.grr_percent_study, 19.39093, 1e-4);
  EXPECT_NEAR(*g.grr_percent_tolerance, 56.12486, 1e-4);
  EXPECT_EQ(*g.ndc, 7);
  EXPECT_EQ(*g.verdict, GaugeVerdict::NotAcceptable);
}

TEST(GaugeStudy, VerdictBoundsAndRefusedShapes) {
  const std::pair<double, GaugeVerdict> bounds[] = {
      {9.99, GaugeVerdict::Acceptable},
      {10, GaugeVerdict::Conditional},
      {30, GaugeVerdict::Conditional},
      {30.01, GaugeVerdict::NotAcceptable},
  };
  for (const auto& [percent, verdict] : bounds) EXPECT_EQ(GaugeVerdictOf(percent), verdict) << percent;

  EXPECT_THROW(AnalyseGaugeStudy({3, 2, 1, std::vector<double>(6, 1.0)}, {}), std::invalid_argument);
  EXPECT_THROW(AnalyseGaugeStudy({3, 2, 2, std::vector<double>(11, 1.0)}, {}), std::invalid_argument);
  EXPECT_THROW(AnalyseGaugeStudy(Study(std::vector<double>(12, 1.0)), 0.0), std::invalid_argument);
}

}  // namespace
}  // namespace multitone
