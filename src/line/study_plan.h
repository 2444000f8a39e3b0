#pragma once
// The order in which a guided gauge study measures: trial after trial, in
// each trial every appraiser in turn, and each appraiser the parts in an
// order of their own, shuffled from the study's seed (as studies do, so that
// no appraiser learns a part's reading from the part before it). The same
// seed gives the same order on every machine.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace multitone {

struct StudyStep {
  std::size_t trial = 0;      // 0-based
  std::size_t appraiser = 0;  // index into the study's appraisers
  std::size_t part = 0;       // index into the study's parts
};

// parts × appraisers × trials steps in the order they are measured.
std::vector<StudyStep> StudyOrder(std::size_t parts, std::size_t appraisers, std::size_t trials,
                                  std::uint64_t seed);

// The steps of `order` still to measure when `runs(part, appraiser)` runs
// of each cell are kept: the appraiser's trial t of a part is done once the
// cell holds more than t runs.
std::vector<StudyStep> StepsLeft(
    const std::vector<StudyStep>& order,
    const std::function<std::size_t(std::size_t part, std::size_t appraiser)>& runs);

// The seed a study takes from its name when none is given: a resumed study
// walks the same order.
std::uint64_t StudySeed(std::string_view name);

}  // namespace multitone
