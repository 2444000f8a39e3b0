#include "line/capability.h"

#include <algorithm>
#include <cmath>

namespace multitone {
namespace {

constexpr double kTwoSided95 = 1.959963984540054;  // the normal quantile at 0.975

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t half = values.size() / 2;
  return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

}  // namespace

double StandardDeviation(const FigureMoments& values) {
  if (values.n < 2) return 0;
  return std::sqrt(values.squares / static_cast<double>(values.n - 1));
}

std::optional<CpkInterval> CapabilityOf(const FigureMoments& values, std::optional<double> low,
                                        std::optional<double> high) {
  const double s = StandardDeviation(values);
  if ((!low && !high) || values.n < 2 || !(s > 0)) return std::nullopt;
  double distance = INFINITY;
  if (low) distance = std::min(distance, values.mean - *low);
  if (high) distance = std::min(distance, *high - values.mean);
  const double n = static_cast<double>(values.n);
  const double cpk = distance / (3 * s);
  const double se = std::sqrt(1 / (9 * n) + cpk * cpk / (2 * (n - 1)));
  return CpkInterval{cpk, cpk - kTwoSided95 * se, cpk + kTwoSided95 * se};
}

FigureMoments Pooled(const std::vector<FigureMoments>& groups) {
  FigureMoments all;
  for (const FigureMoments& g : groups) {
    if (g.n == 0) continue;
    const double n = static_cast<double>(all.n), m = static_cast<double>(g.n);
    const double delta = g.mean - all.mean;
    all.mean += delta * m / (n + m);
    all.squares += g.squares + delta * delta * n * m / (n + m);
    all.n += g.n;
  }
  return all;
}

std::vector<bool> StandingOut(const std::vector<FigureMoments>& stations) {
  std::vector<bool> out(stations.size(), false);
  std::vector<double> spreads;
  for (const FigureMoments& s : stations) {
    if (s.n >= 2) spreads.push_back(StandardDeviation(s));
  }
  if (spreads.size() < 3) return out;
  // The median station's spread: one station's dead unit widens its own
  // spread, not every station's.
  const double within = Median(spreads);
  for (std::size_t i = 0; i < stations.size(); ++i) {
    if (stations[i].n < 2) continue;
    std::vector<double> others;
    for (std::size_t j = 0; j < stations.size(); ++j) {
      if (j != i && stations[j].n >= 2) others.push_back(stations[j].mean);
    }
    const double error = StandardDeviation(stations[i]) / std::sqrt(static_cast<double>(stations[i].n));
    out[i] = std::abs(stations[i].mean - Median(others)) > std::max(4 * error, within / 2);
  }
  return out;
}

}  // namespace multitone
