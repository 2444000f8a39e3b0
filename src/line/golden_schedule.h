#pragma once
// When a station's golden-unit check is due. The state comes from the
// results store alone (the station's golden runs and the production runs
// since the newest), so it holds across program starts and is the same for
// `multitone` and `multitone serve`.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "store/golden_runs.h"
#include "verdict/golden_settings.h"

namespace multitone {

struct GoldenStatus {
  // The newest check: when (ISO), on which unit, its outcome and its line
  // ("golden check FAILED: ...").
  std::string last_at;  // empty: no check yet
  std::string last_serial;
  bool last_passed = false;
  std::string last_line;
  std::int64_t units_since = 0;            // production units since that check
  std::string next_due_at;                 // ISO, with `every`; empty otherwise or without a check
  std::optional<std::int64_t> units_left;  // with `every_units`: before the next check falls due
  // Production serials are refused: no check yet, the last one failed, or
  // the interval or the unit count has run out.
  bool due = true;
  std::string why;      // why it is due: "the last golden check failed: ..."
  std::string problem;  // the results server could not be read: why
};

// The decision from what the store holds, at `now`.
GoldenStatus DecideGoldenStatus(const GoldenSettings& golden, const GoldenHistory& history,
                                std::chrono::system_clock::time_point now);
// Reads the store and decides. Throws StoreError when it cannot be read.
GoldenStatus ReadGoldenStatus(const RunStorage& storage, const std::string& station, const GoldenSettings& golden,
                              std::chrono::system_clock::time_point now);
GoldenStatus ReadGoldenStatus(StoreSession& session, const std::string& station, const GoldenSettings& golden,
                              std::chrono::system_clock::time_point now);

// "golden check due: WHY; test a golden unit first (PB1, PB2)": what a
// refused production serial is told.
std::string GoldenRefusalText(const GoldenSettings& golden, const GoldenStatus& status);
// A few lines for `multitone golden status`.
std::string GoldenStatusText(const GoldenSettings& golden, const GoldenStatus& status);

// "2026-12-07T11:58:15.123Z" as a time; empty when it is not one.
std::optional<std::chrono::system_clock::time_point> ParseIsoTimeUtc(const std::string& text);

}  // namespace multitone
