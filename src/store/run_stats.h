#pragma once
// The figures of a line read back from the results store: counts of each
// verdict, yields, and per figure and channel the spread and the capability
// against the limits in force.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/run_filter.h"

namespace multitone {

struct FigureStats {
  std::string figure;   // "pitch_error", "signal_to_noise", ...
  std::string channel;  // "left", "right", "" for pitch_error
  std::string unit;
  std::size_t n = 0;    // defined values
  double mean = 0, stddev = 0, min = 0, max = 0;  // stddev: sample (n - 1)
  // The bounds of the newest selected run (the limits now in force).
  std::optional<double> low, high;
  // min(high - mean, mean - low) / 3σ over the bounds there are.
  std::optional<double> cpk;
};

struct FailCount {
  std::string figure, channel;
  std::size_t runs = 0;  // runs in which it failed (any tone for the response)
};

struct RunStats {
  std::size_t runs = 0;
  std::size_t pass = 0, marginal = 0, fail = 0, error = 0, not_judged = 0;
  // PASS and MARGINAL over the judged runs (all but NOT_JUDGED).
  std::optional<double> yield;
  // The same over each serial's first selected run.
  std::size_t serials = 0;
  std::optional<double> first_pass_yield;
  // pitch_error, then per channel (left, right) the seven figures in run
  // order; those without a defined value are left out.
  std::vector<FigureStats> figures;
  std::vector<FailCount> most_failing;  // most first, at most 10
};

RunStats ComputeStats(Database& db, const RunFilter& filter);

}  // namespace multitone
