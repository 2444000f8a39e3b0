#pragma once
// The span a histogram of a figure's values is drawn over: the limits, and
// the values' robust range (the quartiles widened by three interquartile
// ranges, never beyond the values), so that one dead unit does not squeeze
// the good ones into one bar. Values outside the span are counted at its
// edges.
#include <optional>
#include <vector>

namespace multitone {

struct HistogramRange {
  double low = 0, high = 1;  // low < high
};

HistogramRange RangeOf(std::vector<double> values, std::optional<double> low_limit,
                       std::optional<double> high_limit);

// Round steps (1, 2 or 5 times a power of ten) across [low, high], about
// `count` of them.
std::vector<double> AxisTicks(double low, double high, int count);

}  // namespace multitone
