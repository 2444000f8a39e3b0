#pragma once
// What a station's page lists from the results store: its newest runs and
// how many runs of each verdict it made since a given time.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/database.h"

namespace multitone {

struct StationRun {
  std::string run_id;
  std::string serial;
  std::string verdict;
  std::string started_at;  // UTC, ISO 8601
  std::string ended_at;
  std::optional<std::int64_t> error_number;  // with error_step and error_text
  std::string error_step;
  std::string error_text;
  bool simulated = false;
};

// The station's newest `count` runs, newest first. Throws StoreError.
std::vector<StationRun> RecentStationRuns(Database& db, const std::string& station, std::size_t count);

// (verdict, runs) for the station's production runs started at or after `since` (the
// store's UTC time text). Throws StoreError.
std::vector<std::pair<std::string, std::int64_t>> StationVerdictCounts(Database& db, const std::string& station,
                                                                        const std::string& since);

}  // namespace multitone
