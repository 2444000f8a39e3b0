#include "common/leading_number_value.h"

#include <gtest/gtest.h>

#include "common/run_error.h"

namespace multitone {
namespace {

TEST(LeadingNumberValue, ReadsTheReplyFormsOfAFrequency) {
  EXPECT_EQ(LeadingNumberValue("999.5"), 999.5);
  EXPECT_EQ(LeadingNumberValue(" 999.5\n"), 999.5);
  EXPECT_EQ(LeadingNumberValue("+999.5"), 999.5);
  EXPECT_EQ(LeadingNumberValue("999.5 HZ"), 999.5);
  EXPECT_EQ(LeadingNumberValue("1.00120000E+03"), 1001.2);
}

TEST(LeadingNumberValue, StopsAtTheFirstCharacterThatEndsTheNumber) {
  EXPECT_EQ(LeadingNumberValue("1000,5"), 1000.0);  // a comma is not a decimal separator
  EXPECT_EQ(LeadingNumberValue("12.5.6"), 12.5);
  EXPECT_EQ(LeadingNumberValue("7E"), 7.0);
  EXPECT_EQ(LeadingNumberValue("7E+"), 7.0);
  EXPECT_EQ(LeadingNumberValue("7EX3"), 7.0);
}

TEST(LeadingNumberValue, ReadsTheLevelReplies) {
  EXPECT_EQ(LeadingNumberValue("0.70712"), 0.70712);
  EXPECT_EQ(LeadingNumberValue(" 7.0712E-01"), 0.70712);
  EXPECT_EQ(LeadingNumberValue("0.70712 V"), 0.70712);
}

TEST(LeadingNumberValue, RemovesBlanksTabsAndLineFeedsWhereverTheyStand) {
  EXPECT_EQ(LeadingNumberValue("1 000"), 1000.0);
  EXPECT_EQ(LeadingNumberValue("\t- 2 . 5\n"), -2.5);
  EXPECT_EQ(LeadingNumberValue("1 E 3"), 1000.0);
  // A carriage return is not removed: it ends the number.
  EXPECT_EQ(LeadingNumberValue("12\r3"), 12.0);
  EXPECT_EQ(LeadingNumberValue("\r12"), 0.0);
}

TEST(LeadingNumberValue, AcceptsDExponentsAndEitherCase) {
  EXPECT_EQ(LeadingNumberValue("1.5D2"), 150.0);
  EXPECT_EQ(LeadingNumberValue("1.5d-2"), 0.015);
  EXPECT_EQ(LeadingNumberValue("2e3"), 2000.0);
  EXPECT_EQ(LeadingNumberValue(".5"), 0.5);
  EXPECT_EQ(LeadingNumberValue("5."), 5.0);
}

TEST(LeadingNumberValue, GivesZeroForATextThatDoesNotStartWithANumber) {
  EXPECT_EQ(LeadingNumberValue(""), 0.0);
  EXPECT_EQ(LeadingNumberValue("HZ 999"), 0.0);
  EXPECT_EQ(LeadingNumberValue("-"), 0.0);
  EXPECT_EQ(LeadingNumberValue("."), 0.0);
  EXPECT_EQ(LeadingNumberValue("+.E5"), 0.0);
  EXPECT_EQ(LeadingNumberValue("#18\x01\x02"), 0.0);
}

TEST(LeadingNumberValue, IgnoresTheHostsDecimalSeparator) {
  // Whatever the host's number settings, "." is the separator.
  EXPECT_EQ(LeadingNumberValue("3.25"), 3.25);
}

TEST(LeadingNumberValue, RefusesANumberTooLargeForA64BitFloat) {
  try {
    LeadingNumberValue("1E400");
    FAIL() << "1E400 was accepted";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::TypeMismatch);
  }
  EXPECT_THROW(LeadingNumberValue("-1E400"), RunError);
  EXPECT_THROW(LeadingNumberValue(std::string(400, '9')), RunError);
}

TEST(LeadingNumberValue, ReadsATinyNumberAsZeroOrSubnormal) {
  EXPECT_EQ(LeadingNumberValue("1E-400"), 0.0);
  EXPECT_GT(LeadingNumberValue("1E-310"), 0.0);
}

}  // namespace
}  // namespace multitone
