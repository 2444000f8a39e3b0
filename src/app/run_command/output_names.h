#pragma once
// Result files named after the unit: a station that writes every unit's
// JSON, JUnit and report into folders (--json-dir, --junit-dir,
// --report-dir) names each file SERIAL-TIME.EXT, e.g.
// PB20000042-20261207T170012.345Z.json.
#include <string>
#include <string_view>

#include "verdict/unit_result.h"

namespace multitone {

// The unit's file in `folder`: its serial (characters other than letters,
// digits, '.', '_' and '-' as '_'; "unit" when it has none), '-', its start
// time in UTC to the millisecond, and `extension` (".json").
std::string UnitFileIn(const std::string& folder, const UnitResult& unit, std::string_view extension);

// Why `folder` cannot take result files; empty when it can.
std::string FolderProblem(const std::string& folder);

}  // namespace multitone
