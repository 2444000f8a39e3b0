#pragma once
// The result document of one unit, schema "multitone-result/1": what --json
// writes, what the results store keeps whole, what the station page reads.
// Values at full double precision; an undefined value is null with
// "defined": false, so no NaN or infinity ever appears.
#include <string>

#include <nlohmann/json.hpp>

#include "verdict/unit_result.h"

namespace multitone {

nlohmann::json ResultJson(const UnitResult& unit);
// UTC, ISO 8601 with milliseconds: "2026-12-07T11:58:15.123Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point time);

}  // namespace multitone
