#pragma once
// The alarms the stations raised, as the `alarms` table keeps them: listed,
// and acknowledged with who and when. Rows are written with their run (see
// ResultsStore::Put); here they are only read and acknowledged.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

struct AlarmRow {
  std::string run_id;
  std::string station;
  std::string figure;
  std::string channel;
  int tone = 0;
  std::string rule;
  std::string raised_at;  // UTC, ISO 8601
  double value = 0;
  double centre = 0;
  double sigma = 0;
  std::string acknowledged_by;  // "" while open
  std::string acknowledged_at;
  std::string acknowledge_note;

  bool Open() const { return acknowledged_at.empty(); }
};

// "left reference_level: beyond 3 sigma at run RUN" for a page or a log.
std::string AlarmSummary(const AlarmRow& alarm);

// Which alarms: every condition that is set must hold.
struct AlarmFilter {
  std::string station;
  std::string since;          // raised at or after (the store's ISO time text)
  bool open_only = false;
  std::string run_id;
  std::string rule;
  // One chart: figure, channel and tone together.
  std::optional<std::string> figure;
  std::string channel;
  int tone = 0;
};

// Oldest first, then by station, run and chart. Throws StoreError.
std::vector<AlarmRow> ReadAlarms(Database& db, const AlarmFilter& filter);

// Acknowledges the open alarms the filter selects: `by` at `at` (ISO time),
// with a note ("" for none). Returns how many it acknowledged. Throws
// StoreError.
std::size_t AcknowledgeAlarms(Database& db, AlarmFilter filter, const std::string& by, const std::string& at,
                              const std::string& note);

}  // namespace multitone
