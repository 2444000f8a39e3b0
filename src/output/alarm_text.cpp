#include "output/alarm_text.h"

#include "common/short_number.h"

namespace multitone {

std::string AlarmText(const UnitAlarm& a) {
  std::string chart = a.channel.empty() ? a.figure : a.channel + " " + a.figure;
  if (a.tone != 0) chart += " tone " + std::to_string(a.tone);
  return "alarm: " + a.station + " " + chart + ": " + a.rule + " at run " + a.run_id + " (value " +
         ShortNumber(a.value) + ", centre " + ShortNumber(a.centre) + ", sigma " + ShortNumber(a.sigma) + ")";
}

}  // namespace multitone
