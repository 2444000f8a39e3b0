#pragma once
// A station's control charts as its runs extend them, one run at a time: read
// once from the store (the current stretch's baseline and newest points, and
// the alarms already raised there), kept in memory, and checked against the
// run rules as each production run adds its values. The same rules as
// FindAlarms over the same stretch: a chart's centre and sigma from its first
// `baseline` points (or stated in the limits' [control] section), every point
// after them checked, one firing per rule per pattern.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "line/control_chart.h"
#include "store/chart_history.h"
#include "verdict/unit_result.h"

namespace multitone {

class StationCharts {
 public:
  // The newest points read from the store: enough for every rule's window.
  static constexpr std::size_t kNewestRead = 8;

  // Charts with no run yet.
  StationCharts(std::string station, const ControlSettings& control);
  // The charts as the store holds them.
  StationCharts(std::string station, const ControlSettings& control, const StationHistory& history);

  // Adds the unit's defined values to their charts; returns the alarms that
  // fire at this run, by chart.
  std::vector<UnitAlarm> Add(const UnitResult& unit);

  std::size_t Charts() const { return charts_.size(); }

 private:
  struct Chart {
    std::size_t count = 0;               // points in the stretch
    bool stated = false;                 // limits from the [control] section, every point checked
    std::vector<double> baseline;        // while it is being filled
    std::optional<ChartLimits> limits;   // stated, or from the whole baseline
    std::vector<double> recent;          // the newest points, oldest first
    RuleMemory memory;                   // in indices of `recent`
  };
  using Key = std::tuple<std::string, std::string, int>;  // figure, channel, tone

  Chart& ChartOf(const Key& key);
  // Adds one value; the rules that fire at it.
  std::vector<RunRule> AddValue(Chart& chart, double value);

  std::string station_;
  ControlSettings control_;
  std::map<Key, Chart> charts_;
};

}  // namespace multitone
