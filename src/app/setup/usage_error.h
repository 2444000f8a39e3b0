#pragma once
// A bad command line: one line naming the cause, one pointing at the help,
// exit status 2.
#include <iosfwd>
#include <string_view>

namespace multitone {

inline constexpr int kUsageErrorStatus = 2;

// Writes "multitone: CAUSE" and "see multitone --help" to `err` and returns
// kUsageErrorStatus.
int UsageError(std::string_view cause, std::ostream& err);

}  // namespace multitone
