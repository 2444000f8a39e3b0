#pragma once
// The result document of one unit, schema "multitone-result/1": what --json
// writes, what the results store keeps whole, what the station page reads.
// Values at full double precision (the shortest text that reads back as
// the same double); an undefined value is null with "defined": false, so no
// NaN or infinity ever appears.
#include <string>

#include "verdict/unit_result.h"

namespace multitone {

// The document as text (indent -1: one line). Text that is not valid UTF-8
// (a name or path in another encoding) shows replacement characters rather
// than failing.
std::string ResultJsonText(const UnitResult& unit, int indent = -1);

}  // namespace multitone
