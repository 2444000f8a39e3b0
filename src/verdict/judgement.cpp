#include "verdict/judgement.h"

#include <algorithm>

namespace multitone {
namespace {

// A value against its bounds. Bounds are inclusive; a value within
// `marginal` of a bound (and inside it) is MARGINAL; a value that is not
// defined fails every limit set on it.
std::optional<Outcome> Check(std::optional<double> value, std::optional<double> low,
                             std::optional<double> high, double marginal) {
  if (!low && !high) return std::nullopt;
  if (!value) return Outcome::Fail;
  if ((low && *value < *low) || (high && *value > *high)) return Outcome::Fail;
  if (marginal > 0 && ((low && *value < *low + marginal) || (high && *value > *high - marginal))) {
    return Outcome::Marginal;
  }
  return Outcome::Pass;
}

std::optional<double> ValueOf(const FigureValue& figure) {
  if (!figure.defined) return std::nullopt;
  return figure.value;
}

// The limits that apply are attached whether or not the value is judged, so
// every run of one limits file lists the same limited figures.
Measurement Judged(Measurement m, const FigureLimit* limit, bool judge_undefined) {
  if (limit == nullptr) return m;
  m.low = limit->min;
  m.high = limit->max;
  if (m.value || judge_undefined) m.outcome = Check(m.value, m.low, m.high, limit->marginal);
  return m;
}

// The 1 kHz tone is the reference of its channel's response (0 dB by
// definition), so it is never judged.
constexpr int kReferenceTone = 7;

}  // namespace

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pass: return "PASS";
    case Outcome::Marginal: return "MARGINAL";
    case Outcome::Fail: return "FAIL";
  }
  return "FAIL";
}

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass: return "PASS";
    case Verdict::Marginal: return "MARGINAL";
    case Verdict::Fail: return "FAIL";
    case Verdict::Error: return "ERROR";
    case Verdict::NotJudged: return "NOT_JUDGED";
  }
  return "ERROR";
}

std::vector<const Measurement*> Judgement::With(Outcome outcome) const {
  std::vector<const Measurement*> found;
  for (const Measurement& m : measurements) {
    if (m.outcome == outcome) found.push_back(&m);
  }
  return found;
}

Verdict CombineVerdict(bool judged, bool run_failed, bool any_fail, bool any_marginal) {
  if (any_fail) return Verdict::Fail;
  if (run_failed) return Verdict::Error;
  if (!judged) return Verdict::NotJudged;
  if (any_marginal) return Verdict::Marginal;
  return Verdict::Pass;
}

Judgement Judge(const RunResults& results, const Limits* limits) {
  Judgement judgement;
  // In a run that failed part-way a figure that is not defined may simply
  // not have been reached: only what was formed is judged there.
  const bool judge_undefined = results.complete;
  auto& out = judgement.measurements;

  Measurement pitch;
  pitch.figure = kPitchErrorName;
  pitch.value = ValueOf(results.pitch_error);
  pitch.unit = kPitchErrorUnit;
  out.push_back(Judged(pitch, limits ? &limits->pitch_error : nullptr, judge_undefined));

  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) {
      Measurement m;
      m.figure = FigureName(figure);
      m.channel = ChannelName(channel);
      m.value = ValueOf(results.Of(channel)[figure]);
      m.unit = FigureUnit(figure);
      out.push_back(Judged(m, limits ? &limits->Of(channel, figure) : nullptr, judge_undefined));
    }
  }
  for (const Channel channel : kChannels) {
    for (const ToneResult& tone : results.Of(channel).tones) {
      Measurement m;
      m.figure = kResponseName;
      m.channel = ChannelName(channel);
      m.tone = tone.tone;
      m.nominal_hz = tone.nominal_hz;
      m.frequency_hz = tone.frequency_hz;
      m.value = ValueOf(tone.response_db);
      m.unit = kResponseUnit;
      if (limits && tone.tone != kReferenceTone) {
        if (const auto bounds = MaskBoundsAt(limits->response_mask, tone.nominal_hz)) {
          m.low = bounds->first;
          m.high = bounds->second;
          if (m.value || judge_undefined) m.outcome = Check(m.value, m.low, m.high, 0);
        }
      }
      out.push_back(m);
    }
  }

  const bool any_fail = std::any_of(out.begin(), out.end(),
                                    [](const Measurement& m) { return m.outcome == Outcome::Fail; });
  const bool any_marginal = std::any_of(
      out.begin(), out.end(), [](const Measurement& m) { return m.outcome == Outcome::Marginal; });
  // Limits that judged nothing make no verdict: never a PASS.
  const bool any_judged = std::any_of(out.begin(), out.end(),
                                      [](const Measurement& m) { return m.outcome.has_value(); });
  judgement.verdict = CombineVerdict(limits != nullptr && any_judged, !results.complete, any_fail, any_marginal);
  return judgement;
}

}  // namespace multitone
