#pragma once
// The values a control chart is drawn from, read from the results store:
// one series per station, figure, channel and tone, oldest run first. Only
// reads; a value that was not defined in a run is left out of its series.
#include <string>
#include <vector>

#include "store/database.h"
#include "store/run_filter.h"

namespace multitone {

struct ChartPoint {
  std::string run_id;
  std::string started_at;  // "2026-12-07T11:58:15.123Z"
  double value = 0;
  std::string limits_sha256;  // the limits file the run was judged against, "" for none
};

struct ChartSeries {
  std::string station;
  std::string figure;   // "reference_level", "response", "pitch_error"
  std::string channel;  // "left", "right", "" for pitch_error
  int tone = 0;         // 1..16 for the response, else 0
  std::vector<ChartPoint> points;
};

// The selected runs' series, ordered by station, figure, channel and tone.
// Throws StoreError.
std::vector<ChartSeries> ReadChartSeries(Database& db, const RunFilter& filter);

}  // namespace multitone
