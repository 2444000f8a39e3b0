#include "output/alarm_text.h"

#include "common/short_number.h"
#include "verdict/chart_name.h"

namespace multitone {

std::string AlarmText(const UnitAlarm& a) {
  const std::string chart = ChartName(a.figure, a.channel, a.tone);
  return "alarm: " + a.station + " " + chart + ": " + a.rule + " at run " + a.run_id + " (value " +
         ShortNumber(a.value) + ", centre " + ShortNumber(a.centre) + ", sigma " + ShortNumber(a.sigma) + ")";
}

}  // namespace multitone
