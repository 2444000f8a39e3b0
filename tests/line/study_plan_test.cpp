// The guided study's run order: every appraiser tests every part once per
// trial, each in a shuffled order fixed by the seed; what is left after a
// stop is read from the cells' run counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "line/study_plan.h"

namespace multitone {
namespace {

TEST(StudyPlan, EachAppraiserTestsEachPartOncePerTrialInASeededOrder) {
  const std::vector<StudyStep> order = StudyOrder(5, 3, 2, 42);
  ASSERT_EQ(order.size(), 30u);
  std::set<std::vector<std::size_t>> orders;
  for (std::size_t block = 0; block < 6; ++block) {
    std::vector<std::size_t> parts;
    for (std::size_t i = 0; i < 5; ++i) {
      const StudyStep& step = order[block * 5 + i];
      EXPECT_EQ(step.trial, block / 3);
      EXPECT_EQ(step.appraiser, block % 3);
      parts.push_back(step.part);
    }
    orders.insert(parts);
    std::sort(parts.begin(), parts.end());
    EXPECT_EQ(parts, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  }
  EXPECT_GT(orders.size(), 1u);  // not one order for all (5! = 120 to choose from)

  auto parts_of = [](const std::vector<StudyStep>& steps) {
    std::vector<std::size_t> parts;
    for (const StudyStep& s : steps) parts.push_back(s.part);
    return parts;
  };
  EXPECT_EQ(parts_of(StudyOrder(5, 3, 2, 42)), parts_of(order));
  EXPECT_NE(parts_of(StudyOrder(5, 3, 2, 43)), parts_of(order));
  EXPECT_EQ(StudySeed("grr-1"), StudySeed("grr-1"));
  EXPECT_NE(StudySeed("grr-1"), StudySeed("grr-2"));
}

TEST(StudyPlan, StepsLeftSkipWhatTheCellsHoldAlready) {
  const std::vector<StudyStep> order = StudyOrder(3, 2, 2, 7);
  struct Case {
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> runs;  // (part, appraiser) -> runs
    std::size_t left;
  };
  const Case cases[] = {
      {{}, 12},
      {{{{0, 0}, 1}, {{1, 0}, 1}}, 10},
      {{{{0, 0}, 1}, {{1, 0}, 1}, {{2, 0}, 1}, {{0, 1}, 1}, {{1, 1}, 1}, {{2, 1}, 1}}, 6},
      {{{{0, 0}, 2}, {{1, 0}, 2}, {{2, 0}, 2}, {{0, 1}, 2}, {{1, 1}, 2}, {{2, 1}, 2}}, 0},
  };
  for (const Case& c : cases) {
    auto runs = [&](std::size_t part, std::size_t appraiser) {
      const auto found = c.runs.find({part, appraiser});
      return found == c.runs.end() ? std::size_t{0} : found->second;
    };
    const std::vector<StudyStep> left = StepsLeft(order, runs);
    EXPECT_EQ(left.size(), c.left);
    // What is left keeps the order's sequence, and no step left is done.
    std::size_t at = 0;
    for (const StudyStep& step : left) {
      while (at < order.size() && (order[at].trial != step.trial || order[at].appraiser != step.appraiser ||
                                   order[at].part != step.part)) {
        ++at;
      }
      EXPECT_LT(at, order.size());
      EXPECT_LE(runs(step.part, step.appraiser), step.trial);
    }
  }
  // Part 0 by appraiser 0 done once: its trial 1 is still to do.
  const auto one = StepsLeft(order, [](std::size_t p, std::size_t a) { return p == 0 && a == 0 ? 1u : 0u; });
  EXPECT_EQ(std::count_if(one.begin(), one.end(), [](const StudyStep& s) { return s.part == 0 && s.appraiser == 0; }),
            1);
}

}  // namespace
}  // namespace multitone
