#pragma once
// Control limits stated in a TOML file instead of drawn from a baseline: the
// [control] section of a limits file (verdict/control_section.h), or a file
// holding only its chart tables:
//
//   [control."left reference_level"]
//   centre = 0.1936
//   sigma = 0.0002
//
// one table per chart, named as ChartName names it.
#include <stdexcept>
#include <string>

#include "line/station_alarms.h"

namespace multitone {

class StatedLimitsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws StatedLimitsError "FILE:LINE:COL: what is wrong" for a file that
// cannot be read or parsed, a missing [control] table, a chart table without
// a finite centre and a positive sigma, an unknown chart or an unknown key.
StatedLimits ReadStatedLimits(const std::string& path);

}  // namespace multitone
