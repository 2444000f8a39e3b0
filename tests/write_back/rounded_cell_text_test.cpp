#include "write_back/rounded_cell_text.h"

#include <gtest/gtest.h>

namespace multitone {
namespace {

using V = GeneralValue;

TEST(RoundedCellText, CountsTheMasksDecimals) {
  EXPECT_EQ(MaskDecimals("#0.00"), 2);
  EXPECT_EQ(MaskDecimals("00.000"), 3);
  EXPECT_EQ(MaskDecimals("00.0000"), 4);
  EXPECT_EQ(MaskDecimals("###0.0"), 1);
  EXPECT_EQ(MaskDecimals("000"), 0);
}

TEST(RoundedCellText, DropsTheMasksLeadingAndTrailingZeros) {
  EXPECT_EQ(RoundedCellText(V::Float64(0.5), "00.000"), " .5");
  EXPECT_EQ(RoundedCellText(V::Int16(240), "###0.0"), " 240");
  EXPECT_EQ(RoundedCellText(V::Float64(240.0), "###0.0"), " 240");
  EXPECT_EQ(RoundedCellText(V::Float64(95.95125030961586), "###0.0"), " 96");
}

TEST(RoundedCellText, RoundsHalvesAwayFromZeroOnThe15DigitForm) {
  EXPECT_EQ(RoundedCellText(V::Float64(0.0005), "00.000"), " .001");
  EXPECT_EQ(RoundedCellText(V::Float64(0.0004), "00.000"), " 0");
  // 1.005 is a little below 1.005 in binary; its 15-digit form is a half.
  EXPECT_EQ(RoundedCellText(V::Float64(1.005), "#0.00"), " 1.01");
  EXPECT_EQ(RoundedCellText(V::Float64(-1.005), "#0.00"), "-1.01");
  EXPECT_EQ(RoundedCellText(V::Float64(-75.69041072834011), "###0.0"), "-75.7");
  EXPECT_EQ(RoundedCellText(V::Float64(9.96), "###0.0"), " 10");
  EXPECT_EQ(RoundedCellText(V::Float64(0.96), "###0.0"), " 1");
}

TEST(RoundedCellText, ShowsThePitchErrorOfSlowAndFastDevices) {
  EXPECT_EQ(RoundedCellText(V::Float64((1 - 0.9985) * 100), "#0.00"), " .15");
  EXPECT_EQ(RoundedCellText(V::Float64((1 - 1.0012) * 100), "#0.00"), "-.12");
  // Negative, but zero at two decimals: no minus sign.
  EXPECT_EQ(RoundedCellText(V::Float64(-0.001), "#0.00"), " 0");
}

TEST(RoundedCellText, TreatsIntegerPlacesAsAMinimumNotALimit) {
  EXPECT_EQ(RoundedCellText(V::Float64(123.4567), "00.000"), " 123.457");
}

TEST(RoundedCellText, RoundsA32BitFloatFromIts7DigitForm) {
  EXPECT_EQ(RoundedCellText(V::Float32(0.19347f), "00.0000"), " .1935");
  EXPECT_EQ(RoundedCellText(V::Float32(0.19364f), "00.0000"), " .1936");
  // Widened, its 15-digit form would still round the same way here, but a
  // 32-bit 0.00005 is 4.99999987e-05 and would round down from 15 digits.
  EXPECT_EQ(RoundedCellText(V::Float32(0.00005f), "0.0000"), " .0001");
  EXPECT_EQ(RoundedCellText(V::Float64(0.00005f), "0.0000"), " 0");
}

TEST(RoundedCellText, ShowsIntegerSentinelsAsTheyAre) {
  EXPECT_EQ(RoundedCellText(V::Int16(0), "0.0000"), " 0");
  EXPECT_EQ(RoundedCellText(V::Float64(0.0), "0.0000"), " 0");
  EXPECT_EQ(RoundedCellText(V::Int16(-240), "###0.0"), "-240");
}

}  // namespace
}  // namespace multitone
