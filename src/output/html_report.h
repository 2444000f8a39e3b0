#pragma once
// One self-contained HTML page for a unit: verdict banner, identity, the
// figures against their limits, the response drawing, the error if any.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

std::string HtmlReport(const UnitResult& unit);
// Text made safe for HTML: the one place where text becomes markup.
std::string HtmlEscape(std::string_view text);

}  // namespace multitone
