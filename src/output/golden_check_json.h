#pragma once
// A golden check in the result document: "golden_check": {serial, tag,
// passed, line, run_error, compared: [{figure, channel, tone, nominal_hz,
// reference, value, moved, unit, tolerance, within}]}. Present only in the
// document of a golden unit's run.
#include "output/json_stream.h"
#include "verdict/unit_result.h"

namespace multitone {

// Writes the check of `unit`, which has one, as the next value of `out`.
void WriteGoldenCheckJson(JsonStream& out, const UnitResult& unit);

}  // namespace multitone
