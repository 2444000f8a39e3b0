#pragma once
// The one conversion from a reply text to a number. Blanks, tabs and line
// feeds are removed wherever they stand; the longest piece at the start that
// forms a number is read: an optional sign, digits with at most one "." (the
// separator whatever the host's settings), optionally "E" or "D" in either
// case with an optional sign and digits. Whatever follows is ignored; a text
// that does not start with a number gives 0.
//
// Sound behaviour: a number too large for a 64-bit float ("1E400") is a value
// that cannot be converted (RunError 13), never an infinity. A number too
// small to represent reads as 0 (or the nearest subnormal).
#include <string_view>

namespace multitone {

double LeadingNumberValue(std::string_view text);

}  // namespace multitone
