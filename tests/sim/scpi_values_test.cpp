// SCPI data values: numeric parameters with units, choices, answer formats.
#include <gtest/gtest.h>

#include "sim/scpi_error.h"
#include "sim/scpi_values.h"

namespace multitone::sim {
namespace {

double Number(const char* text, Quantity quantity) { return NumberParameter({false, text}, quantity); }

TEST(ScpiValues, NumbersWithBlanksWithoutLeadingZeroAndWithUnits) {
  EXPECT_DOUBLE_EQ(Number(".19364 V", Quantity::Voltage), 0.19364);
  EXPECT_DOUBLE_EQ(Number("10 MV", Quantity::Voltage), 0.01);
  EXPECT_DOUBLE_EQ(Number("900 HZ", Quantity::Frequency), 900);
  EXPECT_DOUBLE_EQ(Number("1.1KHZ", Quantity::Frequency), 1100);
  EXPECT_DOUBLE_EQ(Number("60 DB", Quantity::Decibel), 60);
  EXPECT_DOUBLE_EQ(Number("-6.02059991327962", Quantity::Plain), -6.02059991327962);
  EXPECT_DOUBLE_EQ(Number("+1.5e3", Quantity::Plain), 1500);
}

TEST(ScpiValues, BadNumbersFailWithTheirOwnCode) {
  struct Case {
    const char* text;
    ScpiCode code;
  };
  for (const Case& c : {Case{"60 HZ", ScpiCode::InvalidSuffix}, Case{"abc", ScpiCode::DataTypeError},
                        Case{"1e999", ScpiCode::DataOutOfRange}, Case{".", ScpiCode::DataTypeError}}) {
    try {
      Number(c.text, Quantity::Decibel);
      ADD_FAILURE() << c.text;
    } catch (const ScpiFailure& failure) {
      EXPECT_EQ(failure.Code(), c.code) << c.text;
    }
  }
}

TEST(ScpiValues, ChoicesMatchShortOrLongFormInAnyCase) {
  EXPECT_EQ(ChoiceParameter({false, "flat"}, {"HANNing", "FLATtop"}), 1u);
  EXPECT_EQ(ChoiceParameter({false, "FlatTop"}, {"HANNing", "FLATtop"}), 1u);
  EXPECT_THROW(ChoiceParameter({false, "FLA"}, {"FLATtop"}), ScpiFailure);
  EXPECT_THROW(ChoiceParameter({true, "FLAT"}, {"FLATtop"}), ScpiFailure);
  EXPECT_TRUE(BooleanParameter({false, "on"}));
  EXPECT_FALSE(BooleanParameter({false, "0"}));
}

TEST(ScpiValues, Nr3HasNineSignificantDigits) {
  EXPECT_EQ(Nr3(1001.2), "1.00120000E+03");
  EXPECT_EQ(Nr3(-0.19364), "-1.93640000E-01");
  EXPECT_EQ(Nr3(0), "0.00000000E+00");
}

TEST(ScpiValues, QuotedStringDoublesItsQuote) { EXPECT_EQ(QuotedString("a\"b"), "\"a\"\"b\""); }

}  // namespace
}  // namespace multitone::sim
