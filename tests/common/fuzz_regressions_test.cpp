// Edges of the number conversions that fuzzing brought up (fuzz/), kept as
// tests so that they stay decided.
#include <cfloat>
#include <gtest/gtest.h>

#include "common/decimal_digits.h"
#include "common/leading_number_value.h"
#include "common/plain_number_text.h"
#include "common/run_error.h"

namespace multitone {
namespace {

TEST(NumberTextEdges, RoundsAnExactTieToEven) {
  // Doubles below 2^53 hold 16-digit integers exactly, so the digit after the
  // 15th can be an exact 5; floats below 2^24 do the same at 7 digits.
  EXPECT_EQ(PlainNumberText(1234567890123445.0), " 1.23456789012344E+15");
  EXPECT_EQ(PlainNumberText(1234567890123455.0), " 1.23456789012346E+15");
  EXPECT_EQ(PlainNumberText(12345665.0f), " 1.234566E+07");
  EXPECT_EQ(PlainNumberText(1234566.5f), " 1234566");
  EXPECT_EQ(PlainNumberText(-1234567.5f), "-1234568");
  const DecimalDigits tie = SignificantDigits(1234567890123445.0, 15);
  EXPECT_EQ(tie.digits, "123456789012344");
  EXPECT_EQ(tie.exponent, 15);
}

TEST(NumberTextEdges, WritesTheSmallestSubnormalsWithAllTheirDigits) {
  EXPECT_EQ(PlainNumberText(4.9406564584124654e-324), " 4.94065645841247E-324");
  EXPECT_EQ(PlainNumberText(-4.9406564584124654e-324), "-4.94065645841247E-324");
  EXPECT_EQ(PlainNumberText(1e-45f), " 1.401298E-45");
}

TEST(NumberTextEdges, TheLargestDoubleRoundsBeyondTheDoubleRange) {
  // Rounded to 15 digits, the largest double is larger than any double: its
  // text is right by the rules, and reading it back is refused, not infinite.
  EXPECT_EQ(PlainNumberText(DBL_MAX), " 1.79769313486232E+308");
  try {
    LeadingNumberValue(PlainNumberText(DBL_MAX));
    FAIL() << "the text of the largest double was read back";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::TypeMismatch);
  }
  // The largest float stays below it at 7 digits.
  EXPECT_EQ(PlainNumberText(FLT_MAX), " 3.402823E+38");
  EXPECT_EQ(LeadingNumberValue(PlainNumberText(FLT_MAX)), 3.402823e38);
}

}  // namespace
}  // namespace multitone
