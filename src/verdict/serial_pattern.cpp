#include "verdict/serial_pattern.h"

#include <re2/re2.h>

namespace multitone {
namespace {

// RE2 matches in time linear in the serial's length whatever the pattern
// (no backtracking), so no pattern can hold a station up.
RE2::Options QuietOptions() {
  RE2::Options options;
  options.set_log_errors(false);
  return options;
}

}  // namespace

std::optional<std::string> PatternProblem(const std::string& pattern) {
  const RE2 compiled(pattern, QuietOptions());
  if (compiled.ok()) return std::nullopt;
  return compiled.error();
}

bool MatchesPattern(std::string_view text, const std::string& pattern) {
  const RE2 compiled(pattern, QuietOptions());
  return compiled.ok() && RE2::FullMatch(re2::StringPiece(text.data(), text.size()), compiled);
}

}  // namespace multitone
