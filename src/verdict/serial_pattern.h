#pragma once
// The limits' serial_pattern: a regular expression in RE2's syntax (as
// ECMAScript's, without backreferences and lookaround) that a whole serial
// number must match.
#include <optional>
#include <string>
#include <string_view>

namespace multitone {

// Empty when `pattern` compiles, else why it does not.
std::optional<std::string> PatternProblem(const std::string& pattern);
// True when the whole of `text` matches; false also for a pattern that does not compile.
bool MatchesPattern(std::string_view text, const std::string& pattern);

}  // namespace multitone
