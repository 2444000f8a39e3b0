#include "common/ratio_to_db.h"

#include <cmath>
#include <gtest/gtest.h>

#include "common/plain_number_text.h"

namespace multitone {
namespace {

TEST(RatioToDb, EvaluatesLogTimes20DividedByLog10InThatOrder) {
  // The crosstalk of one thousandth, formed from 32-bit levels.
  const double quotient = static_cast<double>(0.0005f) / 0.5;
  EXPECT_EQ(quotient, 0.0010000000474974513);
  EXPECT_EQ(RatioToDb(quotient), -59.99999958744238);
  EXPECT_EQ(PlainNumberText(RatioToDb(quotient)), "-59.9999995874424");

  EXPECT_EQ(RatioToDb(0.25), -12.041199826559247);
  EXPECT_EQ(RatioToDb(0.5), -6.020599913279623);
  EXPECT_EQ(RatioToDb(2.0), 6.020599913279623);
  EXPECT_EQ(RatioToDb(1.0), 0.0);
  EXPECT_EQ(RatioToDb(static_cast<double>(static_cast<float>(0.30000001192092896f / 0.699999988079071f))),
            -7.359535015599426);
}

TEST(RatioToDb, DiffersFromLog10FormWhereTheLastBitMatters) {
  // Found by search: the evaluation order shows in the last bit here.
  int differing = 0;
  for (int i = 1; i < 2000; ++i) {
    const double q = i / 997.0;
    if (RatioToDb(q) != 20 * std::log10(q)) ++differing;
  }
  EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace multitone
