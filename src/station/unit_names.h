#pragma once
// The names a tested unit carries into every result, log line and page:
// - the serial number: 1 to 64 printable ASCII characters, not starting or
//   ending with a blank, matching the limits' serial_pattern when there is
//   one;
// - the station's and the operator's names: 1 to 64 characters of valid
//   UTF-8, with no control characters and no blank at either end.
// A name that breaks the rule is refused, never cleaned up: it would reach a
// log line, a terminal or a document as it was typed.
#include <optional>
#include <string>
#include <string_view>

namespace multitone {

// Empty when the serial is acceptable, else why not ("serial 'x' does not
// match the pattern ^PB2\d{7}$").
std::optional<std::string> SerialProblem(std::string_view serial, const std::string& pattern);

// Empty when `name` is an acceptable station or operator name, else why not;
// `what` names it in the reason ("the station name").
std::optional<std::string> NameProblem(std::string_view name, std::string_view what);

}  // namespace multitone
