#pragma once
// The verdict of one unit: every figure of a run against its limits, and the
// unit's verdict from one table of rules.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_results.h"
#include "verdict/limits.h"

namespace multitone {

// A figure's outcome against its limits.
enum class Outcome { Pass, Marginal, Fail };
// The unit's verdict. NotJudged: a completed run without limits.
enum class Verdict { Pass, Marginal, Fail, Error, NotJudged };

std::string_view OutcomeName(Outcome outcome);  // "PASS", "MARGINAL", "FAIL"
std::string_view VerdictName(Verdict verdict);  // ... "ERROR", "NOT_JUDGED"

// One measured value of a unit, as every output and the results store list
// it: a figure of a channel, the unit's pitch error, or a tone's response.
struct Measurement {
  std::string_view figure;        // "signal_to_noise", "pitch_error", "response"
  std::string_view channel;       // "left", "right", "" for pitch_error
  int tone = 0;                   // 0 for a figure, 1..16 for the response
  double nominal_hz = 0;          // response only
  double frequency_hz = 0;        // response only: the corrected frequency
  std::optional<double> value;    // empty when not defined
  std::string_view unit;
  std::optional<double> low;      // the limits that applied, if any
  std::optional<double> high;
  std::optional<Outcome> outcome; // empty where no limit applies
};

struct Judgement {
  Verdict verdict = Verdict::NotJudged;
  // pitch_error; then per channel (left, right) the seven figures; then per
  // channel the 16 tones' responses.
  std::vector<Measurement> measurements;

  // The failing (or marginal) measurements, in order.
  std::vector<const Measurement*> With(Outcome outcome) const;
};

// Judges a run's results. Without limits every outcome is empty and the
// verdict is NotJudged for a complete run, Error for a failed one.
Judgement Judge(const RunResults& results, const Limits* limits);

// The unit's verdict from its measurements' outcomes and how the run ended:
// FAIL if any measurement fails; else ERROR if the run failed; else MARGINAL
// if any is marginal; else PASS (NotJudged without limits).
Verdict CombineVerdict(bool judged, bool run_failed, bool any_fail, bool any_marginal);

}  // namespace multitone
