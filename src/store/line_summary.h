#pragma once
// What the line page shows of the whole line, read from the results store in
// a few statements: per station the yield and first-pass yield of the day
// and of the shift, the figures that failed most (a Pareto), per station and
// figure the spread of its newest values (for Cpk and for stations side by side),
// and the alarms. Only production runs count (a golden check or a study runs
// the same units again and again). Only reads.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

// ISO times in UTC, as the store writes them ("2026-12-07T06:00:00.000Z").
struct LinePeriods {
  std::string day_start;    // the day's first moment
  std::string shift_start;  // the shift's first moment (may be before day_start)
  std::string until;        // now: runs before it count
};

struct YieldCounts {
  std::size_t runs = 0;
  std::size_t passed = 0;   // PASS and MARGINAL
  std::size_t judged = 0;   // all but NOT_JUDGED
  std::size_t failed = 0;   // FAIL
  std::size_t errors = 0;   // ERROR
  std::optional<double> yield;  // passed / judged
  // Serials whose first run of the period was on this station, and of them
  // those judged and those that passed there.
  std::size_t serials = 0, first_judged = 0, first_passed = 0;
  std::optional<double> first_pass_yield;
};

struct StationYield {
  std::string station;
  YieldCounts day, shift;
};

struct FailingFigure {
  std::string figure, channel;
  std::size_t runs = 0;  // runs of the day in which it failed (any tone)
};

// The values of one figure (tone 0) on one station.
struct FigureMoments {
  std::size_t n = 0;
  double mean = 0;
  double squares = 0;  // sum of squared deviations from the mean
};

struct FigureSpreads {
  std::string figure, channel, unit;
  std::optional<double> low, high;  // the bounds of the newest run of the day
  std::vector<std::pair<std::string, FigureMoments>> stations;  // by station name
};

struct StoredAlarm {
  std::string station, figure, channel;
  int tone = 0;
  std::string rule, run_id, raised_at;
  double value = 0, centre = 0, sigma = 0;
  std::string acknowledged_by, acknowledged_at;  // "" while not acknowledged
};

struct LineSummary {
  std::vector<StationYield> stations;  // by name: those with runs in the day or the shift
  std::vector<FailingFigure> pareto;   // most first
  // Over each station's newest `spread_runs` production runs of the day: a
  // fresh sample whose cost does not grow with the line's pace.
  std::vector<FigureSpreads> figures;  // by figure, then channel
  // The day's alarms and any older one not yet acknowledged, newest first.
  std::vector<StoredAlarm> alarms;
};

// At most this many alarms are listed.
inline constexpr std::size_t kListedAlarms = 200;
// Runs per station the figures' spreads are taken over.
inline constexpr std::size_t kSpreadRuns = 100;

// Throws StoreError.
LineSummary ReadLineSummary(Database& db, const LinePeriods& periods, std::size_t spread_runs = kSpreadRuns);

}  // namespace multitone
