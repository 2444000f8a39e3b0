#pragma once
// A limits file drafted from golden units: per figure and channel the mean
// ± k standard deviations of their stored runs, and a response mask from the
// spread of each tone, in the format --limits reads, commented with n, mean
// and σ so an engineer can review it before use.
//
// Each golden unit counts once, by its latest run, and only when that run
// was judged PASS or MARGINAL: a unit that failed, erred or was never judged
// is left out and named. A bound is never narrower than the measurement's
// own repeatability (RepeatabilityOf), so a handful of identical units
// cannot draft limits that fail the next good one.
#include <cstddef>
#include <string>
#include <vector>

#include "store/database.h"

namespace multitone {

// Fewer golden units than this give no spread worth drafting from.
inline constexpr std::size_t kMinimumGoldenUnits = 5;

struct Spread {
  std::size_t n = 0;
  double mean = 0;
  double m2 = 0;  // sum of squared deviations (Welford)
  void Add(double value);
  double Stddev() const;  // sample; 0 below two values
};

// The least half-width of a drafted bound for a figure ("response" for
// the mask), given its mean: an absolute part and a part relative to the
// mean, whichever is larger.
double RepeatabilityOf(const std::string& figure, double mean);

struct DraftedLimits {
  std::string toml;
  std::vector<std::string> left_out;  // "G3: latest run FAIL (run id)", "G9: no stored run"
};

// Throws StoreError when fewer than kMinimumGoldenUnits units can be used
// (unless `force`, then when none can).
DraftedLimits DeriveLimits(Database& db, const std::vector<std::string>& serials, double k,
                           bool force);

}  // namespace multitone
