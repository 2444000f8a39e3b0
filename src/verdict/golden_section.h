#pragma once
// The limits file's [golden] section: the station's check on known units.
//
//   [golden]
//   every = "8h"              # a golden unit at least this often (s, m, h, d)
//   every_units = 500         # ... and at least every 500 production units
//   tolerance = 0.2           # dB: how far a figure may move from its reference
//   [golden.tolerances]       # optional, per figure: noise = 1.5, response = 0.3,
//                             # pitch_error = 0.02 (%, compared only when given)
//   [golden.unit.PB20000001]  # one table per golden unit, by serial
//   pitch_error = 0.0123      # %; optional, as every reference
//   tolerance = 0.3           # optional: this unit's default tolerance
//   [golden.unit.PB20000001.left]
//   reference_level = 0.1936  # a figure's reference, in its own unit
//   response = [0.01, ...]    # the 16 tones in dB; nan: a tone not compared
//
// Levels, noise and distortion are compared as a ratio in dB, the dB
// figures as a difference in dB, pitch_error as a difference in %.
#include <toml++/toml.h>

#include <string>
#include <string_view>

#include "verdict/golden_settings.h"

namespace multitone {

// Reads the section; throws LimitsError ("FILE:LINE:COL: what") for
// anything it does not know or cannot use.
GoldenSettings ReadGoldenSection(const std::string& file, const toml::node& node);

// True for the figures compared as a ratio (values in V or %, above 0).
bool ComparedAsRatio(Figure figure);

// "8h" -> 28800 s; empty for anything else than a whole number above 0
// followed by s, m, h or d.
std::optional<std::chrono::seconds> ParseInterval(std::string_view text);

}  // namespace multitone
