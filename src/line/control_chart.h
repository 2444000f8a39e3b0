#pragma once
// An individuals chart with its moving range: the centre line and sigma of
// a figure's values, and the run rules that say a station has moved.
// Pure functions over a sequence of values, oldest first.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace multitone {

struct ChartLimits {
  double centre = 0;
  double sigma = 0;  // > 0
};

// Centre: the mean of `baseline`; sigma: the mean moving range (|x[i] - x[i-1]|)
// over d2 = 1.128. Empty with fewer than two values or no spread at all.
std::optional<ChartLimits> BaselineLimits(std::span<const double> baseline);

enum class RunRule {
  BeyondThreeSigma,        // one point beyond 3 sigma
  TwoOfThreeBeyondTwo,     // 2 of 3 beyond 2 sigma, on one side
  FourOfFiveBeyondOne,     // 4 of 5 beyond 1 sigma, on one side
  EightOnOneSide,          // 8 in a row on one side of the centre
  SixTrending,             // 6 in a row, each above (below) the one before
};

// "beyond 3 sigma", "2 of 3 beyond 2 sigma", ...
std::string_view RuleName(RunRule rule);
// The rule RuleName names so; empty for any other text.
std::optional<RunRule> RuleNamed(std::string_view name);

struct RuleFiring {
  std::size_t index;  // the point that completes the pattern
  RunRule rule;
};

// What the rules remember of a chart: per rule, the first point it may
// count (the one after it last fired; 0 before it ever fired).
struct RuleMemory {
  std::array<std::size_t, 5> from{};  // by RunRule
};

// The rules that fire at point `i` of `values` (the points before it may
// complete a pattern), with `memory` in the same indices and brought up to
// date. What CheckRunRules does at each point, for a chart that grows one
// run at a time.
std::vector<RunRule> RulesFiringAt(std::span<const double> values, std::size_t i, const ChartLimits& limits,
                                   RuleMemory& memory);

// The rules checked at each point from `first` on (the points before it,
// the baseline, may complete a pattern but never fire). A rule fires at the
// point that completes its pattern, and that point is one of the pattern's
// beyond points for the zone rules; after firing, a rule counts only points
// after the one it fired at, so one shift gives one firing per rule, not one
// per point. Firings in order of index, then of rule.
std::vector<RuleFiring> CheckRunRules(std::span<const double> values, const ChartLimits& limits,
                                      std::size_t first);

}  // namespace multitone
