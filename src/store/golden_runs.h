#pragma once
// What the golden-unit station check reads from the results store: the
// station's newest golden run, the production runs made since, and a
// golden unit's stored figures to take as its references.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/run_storage.h"

namespace multitone {

class StoreSession;

struct GoldenRunRow {
  std::string run_id;
  std::string serial;
  std::string started_at;   // UTC, ISO 8601
  std::string result_json;  // its result document, which holds the check
};

// The station's newest run with purpose 'golden'. Throws StoreError.
std::optional<GoldenRunRow> LatestGoldenRun(Database& db, const std::string& station);
// The station's production runs started after `after` (ISO; "" for all).
// Throws StoreError.
std::int64_t ProductionRunsAfter(Database& db, const std::string& station, const std::string& after);

// The station's golden history wherever its runs are: the store, and with
// PostgreSQL also the local spool (runs not yet forwarded). When the server
// cannot be read, what the spool holds, with `problem` saying why.
struct GoldenHistory {
  std::optional<GoldenRunRow> latest;
  std::int64_t production_since = 0;  // production runs after `latest` (all without one)
  std::string problem;                // the server could not be read: why
};
GoldenHistory ReadGoldenHistory(const RunStorage& storage, const std::string& station);
// The same through the run's open store (see store_session.h).
GoldenHistory ReadGoldenHistory(StoreSession& session, const std::string& station);

// A figure's mean over a unit's runs.
struct FigureMean {
  std::string figure;   // "reference_level", "pitch_error", "response"
  std::string channel;  // "left", "right", "" for pitch_error
  int tone = 0;
  double mean = 0;
  std::int64_t values = 0;  // runs where it was defined
};
struct SerialFigures {
  std::int64_t runs = 0;  // runs averaged
  std::string newest;     // the newest run's start (ISO)
  std::vector<FigureMean> means;
};
// The mean of each figure over the newest `newest` completed runs (no
// error) of `serial` made for production or as a golden check, on
// `station` only unless it is empty. Throws StoreError.
SerialFigures SerialFigureMeans(Database& db, const std::string& serial, const std::string& station,
                                std::size_t newest);

}  // namespace multitone
