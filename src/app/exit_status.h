#pragma once
// The exit statuses of multitone and its commands, named once, and the one
// way a command reports a usage error.
//
//   0  done: the run completed (with limits: PASS or MARGINAL)
//   1  ERROR: the run failed, or a result could not be written or stored
//   2  usage: a bad command line, station file, limits file, serial or
//      address, or a unit refused before the analyzer was touched; nothing
//      was sent
//   3  FAIL: the unit is outside its limits
//   4  the station stops on an open control-chart alarm; nothing was sent
//
// A command beside the run may give 1 and 3 meanings of its own (record
// diff: the records differ), which its --help states.
#include <iosfwd>
#include <string_view>

namespace multitone {

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFail = 3;
inline constexpr int kExitStopped = 4;

// A bad command line: writes "COMMAND: CAUSE" and "see COMMAND --help" to
// `err`. Returns kExitUsage.
int UsageError(std::string_view command, std::string_view cause, std::ostream& err);

// Something the command was given that cannot be used (a file, a store, a
// value read from the station file, which come with their own place):
// writes "COMMAND: CAUSE" to `err`. Returns kExitUsage.
int UsageRefusal(std::string_view command, std::string_view cause, std::ostream& err);

}  // namespace multitone
