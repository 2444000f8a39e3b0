#pragma once
// How a station watches its own figures (the limits file's [control]
// section): the baseline its control charts are drawn from, centre and sigma
// stated for a chart instead, and whether an open alarm stops the station.
#include <cstddef>
#include <map>
#include <string>

namespace multitone {

struct StatedChart {
  double centre = 0;
  double sigma = 0;  // > 0
};

struct ControlSettings {
  // Runs after a change of limits file that set a chart's centre and sigma.
  std::size_t baseline = 20;
  // True: no further unit is tested while one of the station's alarms is
  // not acknowledged.
  bool stop_on_alarm = false;
  // Centre and sigma stated per chart, by chart name ("left reference_level",
  // "right response tone 3", "pitch_error").
  std::map<std::string, StatedChart> stated;
};

inline constexpr std::size_t kSmallestBaseline = 2;
inline constexpr std::size_t kLargestBaseline = 1000;

}  // namespace multitone
