#pragma once
// What a station's next run is checked against on its control charts, read
// in one go: per chart (figure, channel, tone), the first points and the
// newest points of the station's current stretch of production runs (the
// runs since it last ran under another limits file or none), and the alarms
// already raised at those newest points. Only reads.
#include <cstddef>
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

struct HistoryPoint {
  std::string run_id;
  double value = 0;
};

struct ChartHistory {
  std::string figure;
  std::string channel;
  int tone = 0;
  std::vector<HistoryPoint> first;   // the stretch's first points, oldest first
  std::vector<HistoryPoint> newest;  // its newest points, oldest first (may be some of `first` too)
  // Points in the stretch; for a stretch longer than what was read, at
  // least `first_count` (all a chart needs to know).
  std::size_t count = 0;
};

struct RaisedAlarm {
  std::string run_id;
  std::string figure;
  std::string channel;
  int tone = 0;
  std::string rule;
};

struct StationHistory {
  std::vector<ChartHistory> charts;  // by figure, channel, tone
  std::vector<RaisedAlarm> alarms;   // raised at a chart's newest points
};

// The station's production runs judged against `limits_sha256` since its
// last production run judged against anything else: per chart up to
// `first_count` first and `newest_count` newest values, read from a few
// more runs than that at either end (a run may leave a value undefined),
// never from the whole stretch. Throws StoreError.
StationHistory ReadStationHistory(Database& db, const std::string& station, const std::string& limits_sha256,
                                  std::size_t first_count, std::size_t newest_count);

}  // namespace multitone
