#pragma once
// A control chart's name, the same wherever a chart is named: in the limits
// file's [control] tables, in alarm lines, on the pages:
// "left reference_level", "right response tone 3", "pitch_error".
#include <string>
#include <string_view>

namespace multitone {

// `channel` is empty for pitch_error; `tone` is 1..16 for the response, else 0.
std::string ChartName(std::string_view figure, std::string_view channel, int tone);

}  // namespace multitone
