#pragma once
// JUnit XML for CI systems and line dashboards: one testcase per measurement
// that has a limit or an outcome, a failure element where it failed.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string JunitReport(const UnitResult& unit);

}  // namespace multitone
