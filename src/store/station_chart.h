#pragma once
// One control chart of the line page read from the results store: a
// station's newest production values of one figure, channel and tone, the
// [control] settings of the limits file its newest run was judged against,
// the runs its chart limits are drawn from (as many as those settings say,
// as the station's own alarms take them), and the alarms raised on it.
// Only reads.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/line_summary.h"
#include "verdict/control_settings.h"

namespace multitone {

struct ChartKey {
  std::string station;
  std::string figure;   // "reference_level", "response", "pitch_error"
  std::string channel;  // "left", "right", "" for pitch_error
  int tone = 0;         // 1..16 for the response, else 0
};

struct StationChartPoint {
  std::string run_id;
  std::string started_at;
  double value = 0;
};

struct StationChart {
  std::string unit;
  std::optional<double> low, high;  // the bounds the newest run was judged against
  // The [control] settings of that run's limits file (the defaults when it
  // has none, or no file): its baseline length, its stated charts.
  ControlSettings control;
  std::vector<StationChartPoint> points;    // the newest, oldest first
  // The first values judged against the newest run's limits file, oldest
  // first: the chart's baseline, as the station's own alarms take it.
  std::vector<double> baseline;
  std::vector<StoredAlarm> alarms;  // raised on this chart over the points shown, oldest first
};

// At most `points` values, and control.baseline baseline values. Throws
// StoreError.
StationChart ReadStationChart(Database& db, const ChartKey& key, std::size_t points);

}  // namespace multitone
