#pragma once
// One unit's runs, newest first: what `multitone history` shows.
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

struct HistoryEntry {
  std::string run_id;
  std::string started_at;
  std::string station;
  std::string verdict;
  std::string error;                 // "error 440: AcquireSpectra: ..." or ""
  std::vector<std::string> failing;  // "right signal_to_noise", "left response tone 3",
                                     // "right response at 15 tones"
};

std::vector<HistoryEntry> UnitHistory(Database& db, const std::string& serial);

// One line per run: "2026-12-07T11:58:15.123Z  FAIL  station-2  RUN_ID  right signal_to_noise".
std::string HistoryText(const std::vector<HistoryEntry>& history);

}  // namespace multitone
