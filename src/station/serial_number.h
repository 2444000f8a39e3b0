#pragma once
// A unit's serial number: 1 to 64 printable characters, matching the limits'
// serial_pattern when there is one.
#include <optional>
#include <string>
#include <string_view>

namespace multitone {

// Empty when the serial is acceptable, else why not ("serial 'x' does not
// match the pattern ^PB2\d{7}$").
std::optional<std::string> SerialProblem(std::string_view serial, const std::string& pattern);

}  // namespace multitone
