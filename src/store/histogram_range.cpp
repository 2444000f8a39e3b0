#include "store/histogram_range.h"

#include <algorithm>
#include <cmath>

namespace multitone {
namespace {

// The value at fraction q of the sorted values, between neighbours.
double Quantile(const std::vector<double>& sorted, double q) {
  const double at = q * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(at));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (at - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

}  // namespace

HistogramRange RangeOf(std::vector<double> values, std::optional<double> low_limit,
                       std::optional<double> high_limit) {
  double low = INFINITY, high = -INFINITY;
  if (!values.empty()) {
    std::sort(values.begin(), values.end());
    const double q1 = Quantile(values, 0.25), q3 = Quantile(values, 0.75);
    const double reach = 3 * (q3 - q1);
    low = std::max(values.front(), q1 - reach);
    high = std::min(values.back(), q3 + reach);
  }
  if (low_limit) low = std::min(low, *low_limit), high = std::max(high, *low_limit);
  if (high_limit) low = std::min(low, *high_limit), high = std::max(high, *high_limit);
  if (!std::isfinite(low) || !std::isfinite(high)) return {};
  // A margin of 5 % each side; a single value gets one of its own size.
  const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(low) * 0.05, 1e-12);
  return {low - margin, high + margin};
}

std::vector<double> AxisTicks(double low, double high, int count) {
  std::vector<double> ticks;
  if (!(high > low) || count < 1) return ticks;
  const double rough = (high - low) / count;
  const int exponent = static_cast<int>(std::floor(std::log10(rough)));
  double factor = 1;
  for (const double next : {2.0, 5.0, 10.0}) {
    if (factor * std::pow(10, exponent) * 1.5 >= rough) break;
    factor = next;
  }
  // k × factor × 10^exponent, divided by an exact power of ten where the
  // exponent is negative, so that 3 × 0.2 reads 0.6.
  auto tick = [&](double k) {
    return exponent < 0 ? k * factor / std::pow(10, -exponent) : k * factor * std::pow(10, exponent);
  };
  const double step = tick(1);
  for (double k = std::ceil(low / step); k <= std::floor(high / step + 1e-9); ++k) {
    ticks.push_back(k == 0 ? 0 : tick(k));
  }
  return ticks;
}

}  // namespace multitone
