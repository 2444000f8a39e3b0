#include "line/control_chart.h"

#include <array>
#include <cmath>

namespace multitone {
namespace {

// d2 for moving ranges of two points.
constexpr double kD2 = 1.128;

struct Pattern {
  RunRule rule;
  std::size_t window;  // points looked at, ending at the current one
  std::size_t needed;  // of them on the pattern
};

// The zone rules: `needed` of the last `window` points beyond `zone` sigma
// on one side.
struct ZoneRule {
  Pattern pattern;
  double zone;
};
constexpr std::array<ZoneRule, 4> kZoneRules = {{
    {{RunRule::BeyondThreeSigma, 1, 1}, 3},
    {{RunRule::TwoOfThreeBeyondTwo, 3, 2}, 2},
    {{RunRule::FourOfFiveBeyondOne, 5, 4}, 1},
    {{RunRule::EightOnOneSide, 8, 8}, 0},
}};
constexpr std::size_t kTrendPoints = 6;

// +1 above centre + zone sigma, -1 below centre - zone sigma, 0 between.
int Side(double value, const ChartLimits& limits, double zone) {
  const double distance = value - limits.centre;
  if (distance > zone * limits.sigma) return 1;
  if (distance < -zone * limits.sigma) return -1;
  return 0;
}

bool ZoneFires(std::span<const double> values, std::size_t i, std::size_t from, const ZoneRule& z,
               const ChartLimits& limits) {
  const int side = Side(values[i], limits, z.zone);
  if (side == 0) return false;
  // Near the start (or just after a firing) the window is what there is:
  // two points beyond 2 sigma are 2 of 3 however the third turns out.
  const std::size_t start = i + 1 >= from + z.pattern.window ? i + 1 - z.pattern.window : from;
  std::size_t count = 0;
  for (std::size_t k = start; k <= i; ++k) {
    if (Side(values[k], limits, z.zone) == side) ++count;
  }
  return count >= z.pattern.needed;
}

bool TrendFires(std::span<const double> values, std::size_t i, std::size_t from) {
  if (i + 1 < from + kTrendPoints) return false;
  bool rising = true, falling = true;
  for (std::size_t k = i + 2 - kTrendPoints; k <= i; ++k) {
    rising = rising && values[k] > values[k - 1];
    falling = falling && values[k] < values[k - 1];
  }
  return rising || falling;
}

}  // namespace

std::optional<ChartLimits> BaselineLimits(std::span<const double> baseline) {
  if (baseline.size() < 2) return std::nullopt;
  double sum = 0, ranges = 0;
  for (std::size_t i = 0; i < baseline.size(); ++i) {
    sum += baseline[i];
    if (i > 0) ranges += std::fabs(baseline[i] - baseline[i - 1]);
  }
  const double n = static_cast<double>(baseline.size());
  const ChartLimits limits{sum / n, ranges / (n - 1) / kD2};
  if (!(limits.sigma > 0) || !std::isfinite(limits.sigma) || !std::isfinite(limits.centre)) return std::nullopt;
  return limits;
}

std::string_view RuleName(RunRule rule) {
  switch (rule) {
    case RunRule::BeyondThreeSigma: return "beyond 3 sigma";
    case RunRule::TwoOfThreeBeyondTwo: return "2 of 3 beyond 2 sigma";
    case RunRule::FourOfFiveBeyondOne: return "4 of 5 beyond 1 sigma";
    case RunRule::EightOnOneSide: return "8 in a row on one side";
    case RunRule::SixTrending: return "6 in a row trending";
  }
  return "?";
}

std::optional<RunRule> RuleNamed(std::string_view name) {
  for (const RunRule rule : {RunRule::BeyondThreeSigma, RunRule::TwoOfThreeBeyondTwo, RunRule::FourOfFiveBeyondOne,
                             RunRule::EightOnOneSide, RunRule::SixTrending}) {
    if (RuleName(rule) == name) return rule;
  }
  return std::nullopt;
}

std::vector<RunRule> RulesFiringAt(std::span<const double> values, std::size_t i, const ChartLimits& limits,
                                   RuleMemory& memory) {
  static_assert(std::tuple_size_v<decltype(RuleMemory::from)> == kZoneRules.size() + 1);
  std::vector<RunRule> fired;
  for (std::size_t r = 0; r < kZoneRules.size(); ++r) {
    if (ZoneFires(values, i, memory.from[r], kZoneRules[r], limits)) {
      fired.push_back(kZoneRules[r].pattern.rule);
      memory.from[r] = i + 1;
    }
  }
  if (TrendFires(values, i, memory.from.back())) {
    fired.push_back(RunRule::SixTrending);
    memory.from.back() = i + 1;
  }
  return fired;
}

std::vector<RuleFiring> CheckRunRules(std::span<const double> values, const ChartLimits& limits,
                                      std::size_t first) {
  std::vector<RuleFiring> firings;
  RuleMemory memory;
  for (std::size_t i = first; i < values.size(); ++i) {
    for (const RunRule rule : RulesFiringAt(values, i, limits, memory)) firings.push_back({i, rule});
  }
  return firings;
}

}  // namespace multitone
