#include "common/iso_time.h"

#include <cstdio>

namespace multitone {

std::string IsoTimeUtc(std::chrono::system_clock::time_point time) {
  // The calendar from the day count alone: gmtime_r would first read the
  // machine's time zone file, which UTC never needs.
  using namespace std::chrono;
  const auto ms = time_point_cast<milliseconds>(time);  // toward zero, as it always was
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss clock{ms - day};
  // Room for any year a time point holds, so the text is never cut.
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

}  // namespace multitone
