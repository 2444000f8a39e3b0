#pragma once
// The files a judged unit is written to (--json, --junit, --report).
#include <string>
#include <vector>

#include "app/options.h"
#include "verdict/unit_result.h"

namespace multitone {

// Writes every output the options name; returns the reasons of those that
// could not be written (empty when all were).
std::vector<std::string> WriteUnitOutputs(const ProgramOptions& options, const UnitResult& unit);

}  // namespace multitone
