#include "line/gauge_study_text.h"

#include "common/short_number.h"

namespace multitone {
namespace {

std::string Percent(double value) { return ShortNumber(value) + " %"; }

}  // namespace

std::string GaugeStudyText(const StoredStudy& study) {
  std::string text = "Gauge R&R (crossed, ANOVA): " + std::to_string(study.parts.size()) + " parts × " +
                     std::to_string(study.appraisers.size()) + " appraisers × " +
                     std::to_string(study.trials) +
                     " trials; variation as standard deviations, study variation 6 of them\n";
  for (const FigureStudy& f : study.figures) {
    text += '\n' + (f.channel.empty() ? f.figure : f.channel + " " + f.figure) + " (" + f.unit + ")\n";
    if (!f.data) {
      text += "  not defined in every run: not analysed\n";
      continue;
    }
    const GaugeStudyResult g = AnalyseGaugeStudy(*f.data, f.tolerance);
    text += "  EV " + ShortNumber(g.ev) + "  AV " + ShortNumber(g.av) + "  interaction " +
            (g.pooled ? "pooled" : ShortNumber(g.interaction)) + " (p " + ShortNumber(g.interaction_p) +
            ")  GRR " + ShortNumber(g.grr) + "  PV " + ShortNumber(g.pv) + "  TV " + ShortNumber(g.tv) + '\n';
    text += "  %GRR " + (g.grr_percent_study ? Percent(*g.grr_percent_study) : std::string("-")) +
            " of study variation, " +
            (g.grr_percent_tolerance ? Percent(*g.grr_percent_tolerance) + " of tolerance " +
                                           ShortNumber(*f.tolerance) + " " + f.unit
                                     : std::string("no tolerance (min and max) in the limits")) +
            "; ndc " + (g.ndc ? std::to_string(*g.ndc) : std::string("-")) + ": " +
            (g.verdict ? std::string(GaugeVerdictName(*g.verdict)) : std::string("no variation at all")) + '\n';
  }
  return text;
}

}  // namespace multitone
