#pragma once
// A figure's capability over a line: Cpk with its confidence interval, the
// spread of all stations pooled, and which station's mean stands apart
// from the others'. Pure functions over per-station moments.
#include <optional>
#include <vector>

#include "store/line_summary.h"

namespace multitone {

struct CpkInterval {
  double cpk = 0;
  double low = 0, high = 0;  // the two-sided 95 % interval
};

// Cpk = min(high - mean, mean - low) / 3s over the bounds there are, with
// the usual normal approximation of its standard error,
//   se = sqrt(1 / (9n) + Cpk^2 / (2(n - 1))),
// and the interval Cpk +- 1.96 se. Empty without a bound, with fewer than
// two values or without spread.
std::optional<CpkInterval> CapabilityOf(const FigureMoments& values, std::optional<double> low,
                                        std::optional<double> high);

// Moments of several groups taken together.
FigureMoments Pooled(const std::vector<FigureMoments>& groups);

// The sample standard deviation of the moments' values (0 for fewer than two).
double StandardDeviation(const FigureMoments& values);

// Per station, whether its mean stands apart: further from the median of
// the other stations' means than both four standard errors of its own mean
// and half the spread within a station (the median of the stations'
// standard deviations). Needs three stations with two values each to say
// any; a station with fewer than two values never stands out.
std::vector<bool> StandingOut(const std::vector<FigureMoments>& stations);

}  // namespace multitone
