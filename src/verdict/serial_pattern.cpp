#include "verdict/serial_pattern.h"

// GCC 12 reports a false -Wmaybe-uninitialized inside libstdc++'s regex
// compiler when optimising under the sanitizers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>

namespace multitone {

std::optional<std::string> PatternProblem(const std::string& pattern) {
  try {
    std::regex compiled(pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

bool MatchesPattern(std::string_view text, const std::string& pattern) {
  try {
    return std::regex_match(text.begin(), text.end(), std::regex(pattern, std::regex::ECMAScript));
  } catch (const std::regex_error&) {
    return false;
  }
}

}  // namespace multitone
#pragma GCC diagnostic pop
