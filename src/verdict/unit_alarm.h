#pragma once
// A control-chart alarm a unit's run raised on its station: the run's value
// of one chart completed a run rule's pattern. Advisory: it never changes the
// unit's verdict.
#include <string>

namespace multitone {

struct UnitAlarm {
  std::string station;
  std::string figure;   // "reference_level", "response", "pitch_error"
  std::string channel;  // "left", "right", "" for pitch_error
  int tone = 0;         // 1..16 for the response, else 0
  std::string rule;     // as the run rules name it: "beyond 3 sigma"
  std::string run_id;
  double value = 0;     // the run's value
  double centre = 0;    // the chart's centre line and sigma
  double sigma = 0;

  bool operator==(const UnitAlarm&) const = default;
};

}  // namespace multitone
