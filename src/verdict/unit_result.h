#pragma once
// Everything known of one tested unit: who and where, the run's results, the
// limits and the verdict. Every output and the results store take this value.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "run/run_results.h"
#include "verdict/golden_comparison.h"
#include "verdict/judgement.h"
#include "verdict/limits.h"
#include "verdict/unit_alarm.h"

namespace multitone {

struct UnitResult {
  std::string run_id;           // a UUID the station makes
  std::string serial;           // empty when none was given
  std::string station;
  std::string operator_name;    // empty when none was given
  std::chrono::system_clock::time_point started_at;
  std::chrono::system_clock::time_point ended_at;
  std::string analyzer;         // the address as given
  bool simulated = false;
  std::string program_version;
  // What the unit was tested for: "production", "golden" (the station's
  // check on a known unit) or "study" (a gauge study), and the check or
  // study it belongs to ("" for none).
  std::string purpose = "production";
  std::string tag;

  std::optional<LimitsSource> limits;
  RunResults results;
  Judgement judgement;
  // The control-chart alarms this run raised on its station (a production
  // run judged against limits, with a results store), filled in before the
  // unit's outputs are written.
  std::vector<UnitAlarm> alarms;
  // A golden unit's run: the station check against its references.
  std::optional<GoldenCheck> golden_check;
};

}  // namespace multitone
