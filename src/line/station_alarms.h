#pragma once
// The run rules applied to every chart of the stored runs: an alarm for
// each rule firing, naming the station, the chart, the rule and the run.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "line/chart_series.h"
#include "line/control_chart.h"

namespace multitone {

struct Alarm {
  std::string station;
  std::string chart;  // ChartName: "left reference_level"
  RunRule rule;
  std::string run_id;
  std::string started_at;
  double value = 0;
  ChartLimits limits;
};

// Limits stated for a chart instead of drawn from its baseline, by ChartName.
using StatedLimits = std::map<std::string, ChartLimits>;

struct LineAlarms {
  std::size_t charts = 0;            // series checked
  std::size_t waiting = 0;           // series whose newest stretch is still within its baseline
  std::size_t flat = 0;              // baselines with no spread (the 1 kHz tone's response)
  std::vector<Alarm> alarms;         // by time, then station and chart
};

// Each series' limits come from `stated` when it names the chart (then every
// point is checked against them). Otherwise a change of limits file starts
// the chart afresh: each stretch of runs judged against one limits file
// takes its centre and sigma from its first `baseline` points and is checked
// from the next one on. REQUIRES: baseline >= 2.
LineAlarms FindAlarms(const std::vector<ChartSeries>& series, std::size_t baseline,
                      const StatedLimits& stated = {});

// One line per alarm, oldest first, then a summary line.
std::string AlarmsText(const LineAlarms& alarms);

}  // namespace multitone
