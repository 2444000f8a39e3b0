#pragma once
// A golden check in the result document: "golden_check": {serial, tag,
// passed, line, run_error, compared: [{figure, channel, tone, nominal_hz,
// reference, value, moved, unit, tolerance, within}]}. Present only in the
// document of a golden unit's run.
#include <nlohmann/json.hpp>

#include "verdict/unit_result.h"

namespace multitone {

nlohmann::json GoldenCheckJson(const UnitResult& unit);

}  // namespace multitone
