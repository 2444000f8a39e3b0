#pragma once
// A number as people read it in a verdict line, a report or a drafted limits
// file: six significant digits, no trailing zeros ("55.2", "0.31", "1e-05").
// Never used for what the analyzer receives (that is PlainNumberText).
#include <string>

namespace multitone {

std::string ShortNumber(double value);

}  // namespace multitone
