#pragma once
// A golden unit's run against its reference figures: which figures moved,
// by how much, and whether each stayed within its tolerance. The unit's
// verdict stays what its limits say; this is the station's own check.
#include <optional>
#include <string>
#include <vector>

#include "run/run_results.h"
#include "verdict/golden_settings.h"

namespace multitone {

// One reference figure compared.
struct GoldenDeviation {
  std::string figure;           // "reference_level", "response", "pitch_error"
  std::string channel;          // "left", "right", "" for pitch_error
  int tone = 0;                 // 1..16 for the response
  double nominal_hz = 0;        // response only
  double reference = 0;         // in the figure's own unit
  std::optional<double> value;  // as measured; empty when not defined
  // How far it moved, in `unit`: a ratio in dB for levels, noise and
  // distortion, a difference otherwise. Empty when it could not be formed
  // (not defined, or not above 0 where a ratio is taken).
  std::optional<double> moved;
  std::string unit;  // "dB" or "%"
  double tolerance = 0;
  bool within = false;
};

struct GoldenCheck {
  std::string serial;
  bool passed = false;
  std::string run_error;  // the run's error line when it did not complete
  std::vector<GoldenDeviation> compared;
};

// Compares every reference of `unit` with the run. A check passes when the
// run completed and every compared figure is defined and within tolerance.
GoldenCheck CompareWithGolden(const RunResults& results, const GoldenUnit& unit, const GoldenSettings& golden);

// "golden check passed", or "golden check FAILED: left reference_level
// moved +0.42 dB (tolerance 0.2 dB); ..." naming every figure that moved
// beyond its tolerance.
std::string GoldenCheckLine(const GoldenCheck& check);
// One moved figure as that line names it.
std::string DeviationText(const GoldenDeviation& deviation);

}  // namespace multitone
