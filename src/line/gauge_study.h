#pragma once
// A crossed gauge R&R study by the ANOVA method: every appraiser measures
// every part the same number of times. Variation is given as standard
// deviations; the study variation is 6 of them.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace multitone {

struct GaugeStudyData {
  std::size_t parts = 0, appraisers = 0, trials = 0;
  // values[(part × appraisers + appraiser) × trials + trial]
  std::vector<double> values;
};

enum class GaugeVerdict { Acceptable, Conditional, NotAcceptable };

// "acceptable", "conditional", "not acceptable".
std::string_view GaugeVerdictName(GaugeVerdict verdict);
// Under 10 % acceptable, 10 to 30 % conditional, over 30 % not acceptable.
GaugeVerdict GaugeVerdictOf(double grr_percent);

struct GaugeStudyResult {
  // The ANOVA table: sums of squares' means and degrees of freedom.
  double ms_part = 0, ms_appraiser = 0, ms_interaction = 0, ms_repeatability = 0;
  double df_part = 0, df_appraiser = 0, df_interaction = 0, df_repeatability = 0;
  double interaction_p = 1;  // P(F > MS_interaction / MS_repeatability)
  bool pooled = false;       // interaction pooled into repeatability (p > 0.25)

  // Standard deviations; a variance component below zero counts as 0.
  double ev = 0;           // repeatability (equipment)
  double av = 0;           // reproducibility (appraiser)
  double interaction = 0;  // part × appraiser; 0 when pooled
  double grr = 0;          // sqrt(EV² + AV² + interaction²)
  double pv = 0;           // part variation
  double tv = 0;           // total: sqrt(GRR² + PV²)

  std::optional<double> grr_percent_study;      // 100 GRR / TV; none when TV = 0
  std::optional<double> grr_percent_tolerance;  // 100 × 6 GRR / tolerance
  std::optional<int> ndc;                       // floor(1.41 PV / GRR); none when GRR = 0
  // On the percentage of the tolerance when there is one (can the station
  // tell good units from bad?), else on that of the study variation.
  std::optional<GaugeVerdict> verdict;
};

// REQUIRES (else std::invalid_argument): at least 2 parts, 2 appraisers
// and 2 trials, and parts × appraisers × trials values; a tolerance, when
// given, above 0.
GaugeStudyResult AnalyseGaugeStudy(const GaugeStudyData& data, std::optional<double> tolerance);

}  // namespace multitone
