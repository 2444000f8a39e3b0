#pragma once
// One finished run as the station page lists it: the banner's words and the
// line of the last-runs table.
#include <string>

#include <nlohmann/json.hpp>

#include "verdict/unit_result.h"

namespace multitone::server {

struct RunSummary {
  std::string run_id;
  std::string serial;
  std::string verdict;     // "PASS", "MARGINAL", "FAIL", "ERROR"
  std::string started_at;  // UTC, ISO 8601
  std::string ended_at;
  std::string failing;     // "right signal_to_noise 55.2 dB < 58 dB; ..." or ""
  std::string marginal;    // the same for the marginal measurements
  std::string error;       // "error 440: AcquireSpectra: ..." or ""
  bool simulated = false;
  std::string record_error;  // why the run could not be recorded, or ""
};

RunSummary SummarizeRun(const UnitResult& unit);
nlohmann::json SummaryJson(const RunSummary& summary);

// This station's runs of one day.
struct DayCounts {
  int tested = 0;    // every run, errors included
  int passed = 0;    // PASS and MARGINAL
  int marginal = 0;
  int failed = 0;
  int errors = 0;
};

// The counts with "yield": passed / tested (null before the first run).
nlohmann::json CountsJson(const DayCounts& counts);
// Counts one more run with this verdict ("PASS", ...).
void CountRun(DayCounts& counts, const std::string& verdict);

}  // namespace multitone::server
