#include "line/study_plan.h"

#include <numeric>
#include <random>
#include <utility>

namespace multitone {

std::vector<StudyStep> StudyOrder(std::size_t parts, std::size_t appraisers, std::size_t trials,
                                  std::uint64_t seed) {
  std::vector<StudyStep> order;
  order.reserve(parts * appraisers * trials);
  for (std::size_t t = 0; t < trials; ++t) {
    for (std::size_t a = 0; a < appraisers; ++a) {
      // mt19937_64 and seed_seq are defined to the bit; std::shuffle and the
      // distributions are not, so the draw is written out.
      std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                             static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(a)};
      std::mt19937_64 engine(sequence);
      std::vector<std::size_t> shuffled(parts);
      std::iota(shuffled.begin(), shuffled.end(), std::size_t{0});
      for (std::size_t i = parts; i > 1; --i) std::swap(shuffled[i - 1], shuffled[engine() % i]);
      for (const std::size_t p : shuffled) order.push_back({t, a, p});
    }
  }
  return order;
}

std::vector<StudyStep> StepsLeft(
    const std::vector<StudyStep>& order,
    const std::function<std::size_t(std::size_t part, std::size_t appraiser)>& runs) {
  std::vector<StudyStep> left;
  for (const StudyStep& step : order) {
    if (runs(step.part, step.appraiser) <= step.trial) left.push_back(step);
  }
  return left;
}

std::uint64_t StudySeed(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace multitone
