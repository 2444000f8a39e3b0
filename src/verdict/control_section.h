#pragma once
// Reads the limits file's [control] section:
//
//   [control]
//   baseline = 20                       # 2 to 1000 runs (default 20)
//   stop_on_alarm = false               # true: an open alarm stops the station
//   [control."left reference_level"]    # a chart's centre and sigma stated
//   centre = 0.1936
//   sigma = 0.0002
//
// A stated chart is named as `multitone alarms` names it: "pitch_error",
// "CHANNEL FIGURE" or "CHANNEL response tone N" (N from 1 to 16).
#include <string>

#include <toml++/toml.h>

#include "verdict/control_settings.h"

namespace multitone {

// Throws LimitsError "FILE:LINE:COL: what is wrong" for a key it does not
// know, a value of the wrong kind or range, or a chart it does not know.
ControlSettings ReadControlSection(const std::string& file, const toml::node& section);

}  // namespace multitone
