#include "common/plain_number_text.h"

#include <cmath>
#include <gtest/gtest.h>

#include "common/run_error.h"

namespace multitone {
namespace {

TEST(PlainNumberText, WritesPositionalFormWithoutLeadingZero) {
  EXPECT_EQ(PlainNumberText(0.5), " .5");
  EXPECT_EQ(PlainNumberText(-0.0123), "-.0123");
  EXPECT_EQ(PlainNumberText(30.036), " 30.036");
  EXPECT_EQ(PlainNumberText(20024.0), " 20024");
  EXPECT_EQ(PlainNumberText(0.000987654321), " .000987654321");
}

TEST(PlainNumberText, WritesExponentFormOutsideItsRange) {
  EXPECT_EQ(PlainNumberText(0.0000123456789), " 1.23456789E-05");
  EXPECT_EQ(PlainNumberText(1e15), " 1E+15");
  EXPECT_EQ(PlainNumberText(-2.5e-7), "-2.5E-07");
  EXPECT_EQ(PlainNumberText(1.5e100), " 1.5E+100");
  // 14 is the widest exponent a 64-bit float shows positionally.
  EXPECT_EQ(PlainNumberText(123456789012345.0), " 123456789012345");
  EXPECT_EQ(PlainNumberText(0.0001), " .0001");
  EXPECT_EQ(PlainNumberText(0.00001), " 1E-05");
}

TEST(PlainNumberText, RoundsTo15SignificantDigitsNotShortestText) {
  EXPECT_EQ(PlainNumberText(0.1 + 0.2), " .3");
  EXPECT_EQ(PlainNumberText((1 - 1.0012) * 100), "-.120000000000009");
  EXPECT_EQ(PlainNumberText((1 - 0.9985) * 100), " .149999999999995");
  EXPECT_EQ(PlainNumberText(-75.69041072834011), "-75.6904107283401");
  EXPECT_EQ(PlainNumberText(-78.52433220347197), "-78.524332203472");
  EXPECT_EQ(PlainNumberText(95.95125030961586), " 95.9512503096159");
  EXPECT_EQ(PlainNumberText(0.031622776601683794), " .0316227766016838");
  // Rounding that carries into a new digit moves the exponent.
  EXPECT_EQ(PlainNumberText(9.9999999999999999e14), " 1E+15");
  EXPECT_EQ(PlainNumberText(99999.99999999999), " 100000");
}

TEST(PlainNumberText, WritesA32BitFloatFromItsOwnValueWith7Digits) {
  EXPECT_EQ(PlainNumberText(0.1f), " .1");
  EXPECT_EQ(PlainNumberText(static_cast<double>(0.1f)), " .100000001490116");
  EXPECT_EQ(PlainNumberText(0.19364f), " .19364");
  EXPECT_EQ(PlainNumberText(0.19347f), " .19347");
  EXPECT_EQ(PlainNumberText(10094.95f), " 10094.95");
  EXPECT_EQ(PlainNumberText(129.935f), " 129.935");
  // 6 is the widest exponent a 32-bit float shows positionally.
  EXPECT_EQ(PlainNumberText(1234567.0f), " 1234567");
  EXPECT_EQ(PlainNumberText(12345678.0f), " 1.234568E+07");
  EXPECT_EQ(PlainNumberText(0.00001f), " 1E-05");
}

TEST(PlainNumberText, WritesIntegersWithAllTheirDigits) {
  EXPECT_EQ(PlainNumberText(std::int32_t{240}), " 240");
  EXPECT_EQ(PlainNumberText(std::int32_t{-240}), "-240");
  EXPECT_EQ(PlainNumberText(std::int32_t{0}), " 0");
  EXPECT_EQ(PlainNumberText(std::int32_t{-2147483647 - 1}), "-2147483648");
  EXPECT_EQ(PlainNumberText(GeneralValue::Int16(24)).substr(1), "24");
}

TEST(PlainNumberText, WritesZeroOfEveryKindAsBlankZero) {
  EXPECT_EQ(PlainNumberText(0.0), " 0");
  EXPECT_EQ(PlainNumberText(-0.0), " 0");
  EXPECT_EQ(PlainNumberText(0.0f), " 0");
  EXPECT_EQ(PlainNumberText(GeneralValue()), " 0");
  EXPECT_EQ(PlainNumberText(GeneralValue::Int16(0)), " 0");
}

TEST(PlainNumberText, FollowsTheKindOfAGeneralValue) {
  EXPECT_EQ(PlainNumberText(GeneralValue::Float32(0.1f)), " .1");
  EXPECT_EQ(PlainNumberText(GeneralValue::Float64(0.1f)), " .100000001490116");
  EXPECT_EQ(PlainNumberText(GeneralValue::Int32(70000)), " 70000");
  EXPECT_THROW(PlainNumberText(GeneralValue::Text("1")), RunError);
}

TEST(PlainNumberText, RefusesNonFiniteValues) {
  EXPECT_THROW(PlainNumberText(std::nan("")), RunError);
  EXPECT_THROW(PlainNumberText(INFINITY), RunError);
}

}  // namespace
}  // namespace multitone
