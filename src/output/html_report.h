#pragma once
// One self-contained HTML page for a unit: verdict banner, identity, the
// figures against their limits, the response drawing, the error if any.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string HtmlReport(const UnitResult& unit);

}  // namespace multitone
