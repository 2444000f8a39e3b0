#include "line/gauge_study.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "line/f_distribution.h"

namespace multitone {
namespace {

constexpr double kPoolAbove = 0.25;  // interaction p-value above which it is pooled
constexpr double kStudySpread = 6;   // study variation in standard deviations
constexpr double kNdcFactor = 1.41;

double Root(double variance) { return std::sqrt(std::max(0.0, variance)); }

}  // namespace

std::string_view GaugeVerdictName(GaugeVerdict verdict) {
  switch (verdict) {
    case GaugeVerdict::Acceptable: return "acceptable";
    case GaugeVerdict::Conditional: return "conditional";
    case GaugeVerdict::NotAcceptable: return "not acceptable";
  }
  return "?";
}

GaugeVerdict GaugeVerdictOf(double grr_percent) {
  if (grr_percent < 10) return GaugeVerdict::Acceptable;
  if (grr_percent <= 30) return GaugeVerdict::Conditional;
  return GaugeVerdict::NotAcceptable;
}

GaugeStudyResult AnalyseGaugeStudy(const GaugeStudyData& data, std::optional<double> tolerance) {
  const std::size_t p = data.parts, o = data.appraisers, r = data.trials;
  if (p < 2 || o < 2 || r < 2) throw std::invalid_argument("a study needs 2 parts, 2 appraisers and 2 trials");
  if (data.values.size() != p * o * r) throw std::invalid_argument("the study's values do not fill its table");
  if (tolerance && !(*tolerance > 0)) throw std::invalid_argument("the tolerance must be above 0");
  auto at = [&](std::size_t part, std::size_t appraiser, std::size_t trial) {
    return data.values[(part * o + appraiser) * r + trial];
  };

  // Sums of squares as deviations from the means, not from raw squares:
  // a small spread around a large mean keeps its digits.
  double grand = 0;
  for (const double x : data.values) grand += x;
  grand /= static_cast<double>(data.values.size());
  std::vector<double> part_mean(p, 0), appraiser_mean(o, 0), cell_mean(p * o, 0);
  for (std::size_t i = 0; i < p; ++i) {
    for (std::size_t j = 0; j < o; ++j) {
      for (std::size_t k = 0; k < r; ++k) cell_mean[i * o + j] += at(i, j, k);
      cell_mean[i * o + j] /= static_cast<double>(r);
      part_mean[i] += cell_mean[i * o + j] / static_cast<double>(o);
      appraiser_mean[j] += cell_mean[i * o + j] / static_cast<double>(p);
    }
  }
  double ss_part = 0, ss_appraiser = 0, ss_interaction = 0, ss_repeat = 0;
  for (std::size_t i = 0; i < p; ++i) ss_part += (part_mean[i] - grand) * (part_mean[i] - grand);
  for (std::size_t j = 0; j < o; ++j) ss_appraiser += (appraiser_mean[j] - grand) * (appraiser_mean[j] - grand);
  for (std::size_t i = 0; i < p; ++i) {
    for (std::size_t j = 0; j < o; ++j) {
      const double effect = cell_mean[i * o + j] - part_mean[i] - appraiser_mean[j] + grand;
      ss_interaction += effect * effect;
      for (std::size_t k = 0; k < r; ++k) {
        const double d = at(i, j, k) - cell_mean[i * o + j];
        ss_repeat += d * d;
      }
    }
  }
  const double dp = static_cast<double>(p), dO = static_cast<double>(o), dr = static_cast<double>(r);
  ss_part *= dO * dr;
  ss_appraiser *= dp * dr;
  ss_interaction *= dr;

  GaugeStudyResult g;
  g.df_part = dp - 1;
  g.df_appraiser = dO - 1;
  g.df_interaction = (dp - 1) * (dO - 1);
  g.df_repeatability = dp * dO * (dr - 1);
  g.ms_part = ss_part / g.df_part;
  g.ms_appraiser = ss_appraiser / g.df_appraiser;
  g.ms_interaction = ss_interaction / g.df_interaction;
  g.ms_repeatability = ss_repeat / g.df_repeatability;
  if (g.ms_repeatability > 0) {
    g.interaction_p = FUpperTail(g.ms_interaction / g.ms_repeatability, g.df_interaction, g.df_repeatability);
  } else {
    g.interaction_p = g.ms_interaction > 0 ? 0 : 1;  // no repeat spread at all: any interaction is real
  }
  g.pooled = g.interaction_p > kPoolAbove;

  double repeat = g.ms_repeatability, interaction = 0, against = g.ms_interaction;
  if (g.pooled) {
    repeat = (ss_interaction + ss_repeat) / (g.df_interaction + g.df_repeatability);
    against = repeat;
  } else {
    interaction = (g.ms_interaction - g.ms_repeatability) / dr;
  }
  g.ev = Root(repeat);
  g.interaction = Root(interaction);
  g.av = Root((g.ms_appraiser - against) / (dp * dr));
  g.pv = Root((g.ms_part - against) / (dO * dr));
  g.grr = std::sqrt(g.ev * g.ev + g.av * g.av + g.interaction * g.interaction);
  g.tv = std::sqrt(g.grr * g.grr + g.pv * g.pv);

  if (g.tv > 0) g.grr_percent_study = 100 * g.grr / g.tv;
  if (tolerance) g.grr_percent_tolerance = 100 * kStudySpread * g.grr / *tolerance;
  if (g.grr > 0) g.ndc = static_cast<int>(std::floor(kNdcFactor * g.pv / g.grr));
  if (const auto judged = g.grr_percent_tolerance ? g.grr_percent_tolerance : g.grr_percent_study) {
    g.verdict = GaugeVerdictOf(*judged);
  }
  return g;
}

}  // namespace multitone
