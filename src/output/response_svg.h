#pragma once
// The response of both channels over a log-frequency axis, with the limit
// mask shaded, as an SVG element: the report and the station page draw it.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string ResponseSvg(const UnitResult& unit);

}  // namespace multitone
