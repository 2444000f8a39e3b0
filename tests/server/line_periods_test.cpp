// The shift a moment falls in, for the default 06:00 and 8-hour shifts and
// for plans whose shifts do not divide the day; and clock times read.
#include <gtest/gtest.h>

#include "server/line_periods.h"

namespace multitone::server {
namespace {

TEST(LinePeriods, ShiftStartOfAMoment) {
  struct Case {
    int hh, mm;
    ShiftPlan plan;
    int start;  // minutes from the same midnight
  };
  const ShiftPlan standard{6 * 60, 8}, tens{6 * 60, 10}, day_long{0, 24}, half{7 * 60 + 30, 12};
  const Case cases[] = {
      {6, 0, standard, 360},     {13, 59, standard, 360}, {14, 0, standard, 840},  {22, 0, standard, 1320},
      {23, 59, standard, 1320},  {0, 0, standard, -120},  {5, 59, standard, -120}, {10, 0, tens, 360},
      {16, 0, tens, 960},        {2, 0, tens, 120},       {5, 0, tens, 120},       {12, 0, day_long, 0},
      {7, 0, half, 19 * 60 + 30 - 24 * 60},               {8, 0, half, 450},       {20, 0, half, 1170},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShiftStartMinute(c.hh * 60 + c.mm, c.plan), c.start)
        << c.hh << ":" << c.mm << " shifts of " << c.plan.hours << " h from " << c.plan.start_minutes;
  }
}

TEST(LinePeriods, ClockTimes) {
  EXPECT_EQ(ParseClockTime("06:00"), 360);
  EXPECT_EQ(ParseClockTime("23:59"), 1439);
  EXPECT_EQ(ParseClockTime("00:00"), 0);
  for (const char* wrong : {"24:00", "6:00", "06:60", "06-00", "06:00x", "", "-1:00", "+6:00"}) {
    EXPECT_EQ(ParseClockTime(wrong), -1) << wrong;
  }
}

}  // namespace
}  // namespace multitone::server
