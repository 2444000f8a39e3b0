#pragma once
// One line for a control-chart alarm, as the station prints it:
// "alarm: STATION left reference_level: beyond 3 sigma at run RUN (value 0.1948, centre 0.1936, sigma 2e-05)".
#include <string>

#include "verdict/unit_alarm.h"

namespace multitone {

std::string AlarmText(const UnitAlarm& alarm);

}  // namespace multitone
