// The guided study's run order: every appraiser tests every part once per
// trial, each in a shuffled order fixed by the seed (what is left after a
// stop: tests/line/guided_study_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
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
  // The order of seed 42, pinned: mt19937_64 and seed_seq are defined to the
  // bit, so a printed seed means this order everywhere, and a change to the
  // draw (which would break resuming older studies) shows here.
  EXPECT_EQ(parts_of(StudyOrder(5, 1, 1, 42)), (std::vector<std::size_t>{4, 1, 3, 0, 2}));
  EXPECT_NE(parts_of(StudyOrder(5, 3, 2, 43)), parts_of(order));
  EXPECT_NE(StudySeed("grr-1"), StudySeed("grr-2"));
}

}  // namespace
}  // namespace multitone
