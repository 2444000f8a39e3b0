#include "output/verdict_line.h"

#include "common/short_number.h"

namespace multitone {
namespace {

std::string WithUnit(double value, std::string_view unit) {
  return ShortNumber(value) + " " + std::string(unit);
}

}  // namespace

std::string DescribeMeasurement(const Measurement& m) {
  std::string text;
  if (!m.channel.empty()) text += std::string(m.channel) + " ";
  text += std::string(m.figure);
  if (m.tone != 0) text += " " + ShortNumber(m.nominal_hz) + " Hz";
  if (!m.value) return text + " not defined";
  const double v = *m.value;
  text += " " + WithUnit(v, m.unit);
  if (m.outcome == Outcome::Fail) {
    if (m.low && v < *m.low) return text + " < " + WithUnit(*m.low, m.unit);
    if (m.high && v > *m.high) return text + " > " + WithUnit(*m.high, m.unit);
  } else if (m.outcome == Outcome::Marginal) {
    const bool near_low = m.low && (!m.high || v - *m.low <= *m.high - v);
    return text + " near " + (near_low ? "min " + WithUnit(*m.low, m.unit) : "max " + WithUnit(*m.high, m.unit));
  }
  return text;
}

std::string OutcomeSummary(const UnitResult& unit, Outcome outcome) {
  std::string summary;
  const auto add = [&](const std::string& text) {
    if (!summary.empty()) summary += "; ";
    summary += text;
  };
  // A dead channel has no response at any tone: one entry per channel says
  // so instead of fifteen.
  int missing[2] = {0, 0};
  for (const Measurement* m : unit.judgement.With(outcome)) {
    if (m->figure == kResponseName && !m->value) {
      ++missing[m->channel == ChannelName(Channel::Left) ? 0 : 1];
    } else {
      add(DescribeMeasurement(*m));
    }
  }
  for (const Channel channel : kChannels) {
    const int n = missing[channel == Channel::Left ? 0 : 1];
    if (n > 0) {
      add(std::string(ChannelName(channel)) + " response not defined at " + std::to_string(n) +
          (n == 1 ? " tone" : " tones"));
    }
  }
  return summary;
}

std::string VerdictLine(const UnitResult& unit) {
  const Verdict verdict = unit.judgement.verdict;
  std::string line(VerdictName(verdict));
  if (!unit.serial.empty()) line += " " + unit.serial;
  std::string detail;
  if (verdict == Verdict::Fail) {
    detail = OutcomeSummary(unit, Outcome::Fail);
    if (unit.results.error) detail += " (and " + unit.results.error->Line() + ")";
  } else if (verdict == Verdict::Marginal) {
    detail = OutcomeSummary(unit, Outcome::Marginal);
  } else if (verdict == Verdict::Error && unit.results.error) {
    detail = unit.results.error->Line();
  }
  if (!detail.empty()) line += ": " + detail;
  if (unit.simulated) line += " [SIMULATED]";
  return line;
}

}  // namespace multitone
