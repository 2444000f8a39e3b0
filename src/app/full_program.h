#pragma once
// multitone loads no shared library: the Release build links it statically,
// so that with no loader to run and no libraries to map a unit starts a few
// tenths of a millisecond sooner, and a station starts it once per unit. It
// runs a unit against an analyzer on a socket (at a numeric address), a
// serial line, a GPIB controller or a record, and keeps it in SQLite, which
// is linked in (app/linked_libraries.h). Whatever needs another library it
// hands, before anything else is done, to multitone-full, the same program
// that loads each library on first use:
//   - every command beside the run (history, serve, study, ...);
//   - the built-in simulated analyzer (FFTW);
//   - VXI-11 (libtirpc);
//   - a PostgreSQL store (libpq);
//   - an analyzer named by host name, which the system's name services
//     (nsswitch.conf) may look up through libraries of their own.
// The sanitizer build cannot link statically: there multitone is linked
// dynamically but hands over all the same.
#include <string_view>

#include "app/options.h"

namespace multitone {

inline constexpr std::string_view kFullProgram = "multitone-full";

// True when a run with `options` (as parsed, the station file applied) needs
// a shared library. An analyzer address that does not parse is left to the
// run, which reports it as it always does.
bool NeedsFullProgram(const ProgramOptions& options);

}  // namespace multitone
