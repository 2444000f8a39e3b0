#pragma once
// JUnit XML for CI systems and line dashboards: one testcase per figure the
// limits file limits (the same testcases for every run of that file), each
// with its value, limits and outcome as properties; a failure element where
// it failed, MARGINAL in its system-out, "skipped" where the run stopped
// before it; and a testcase "run" with the verdict, the run's time and its
// error if it failed.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string JunitReport(const UnitResult& unit);

}  // namespace multitone
