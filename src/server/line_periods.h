#pragma once
// The periods the line page counts over, in local time: the day (from local
// midnight) and the shift. Shifts last `hours` hours each, the day's first
// starting at `start` minutes after midnight (06:00 by default: 06-14,
// 14-22, 22-06); a shift still running at the next day's first start ends
// there, so every day's shifts start at the same times.
#include <ctime>

#include "store/line_summary.h"

namespace multitone::server {

struct ShiftPlan {
  int start_minutes = 6 * 60;  // 0..1439
  int hours = 8;               // 1..24
};

// The start of the shift holding the moment `minute` minutes after a local
// midnight, in minutes from that midnight: negative when the shift began the
// day before.
int ShiftStartMinute(int minute, const ShiftPlan& plan);

// The day and the shift holding `now`, as UTC ISO times, until `now`.
LinePeriods PeriodsAt(std::time_t now, const ShiftPlan& plan);

// "HH:MM" as minutes after midnight; -1 when malformed.
int ParseClockTime(const char* text);

}  // namespace multitone::server
