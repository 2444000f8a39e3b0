#include "server/line_periods.h"

#include <chrono>
#include <cstring>

#include "common/iso_time.h"

namespace multitone::server {
namespace {

constexpr int kDay = 24 * 60;

std::string Iso(std::time_t time) { return IsoTimeUtc(std::chrono::system_clock::from_time_t(time)); }

// The local time `minutes` after the midnight that starts `day`'s date.
std::time_t LocalMinute(const std::tm& day, int minutes) {
  std::tm at = day;
  at.tm_hour = 0;
  at.tm_min = minutes;
  at.tm_sec = 0;
  at.tm_isdst = -1;
  return std::mktime(&at);
}

}  // namespace

int ShiftStartMinute(int minute, const ShiftPlan& plan) {
  // Minutes since the latest of the days' first shift starts.
  const int since_first = (minute - plan.start_minutes + kDay) % kDay;
  const int length = plan.hours * 60;
  const int start = minute - since_first + since_first / length * length;
  return start;
}

LinePeriods PeriodsAt(std::time_t now, const ShiftPlan& plan) {
  std::tm local{};
  localtime_r(&now, &local);
  const int minute = local.tm_hour * 60 + local.tm_min;
  return {Iso(LocalMinute(local, 0)), Iso(LocalMinute(local, ShiftStartMinute(minute, plan))), Iso(now + 1)};
}

int ParseClockTime(const char* text) {
  auto digit = [&](int at) { return text[at] >= '0' && text[at] <= '9' ? text[at] - '0' : -100; };
  if (std::strlen(text) != 5 || text[2] != ':') return -1;
  const int hours = digit(0) * 10 + digit(1), minutes = digit(3) * 10 + digit(4);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return -1;
  return hours * 60 + minutes;
}

}  // namespace multitone::server
