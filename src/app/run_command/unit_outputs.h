#pragma once
// The files a judged unit is written to (--json, --junit, --report), as
// keeping sinks of the unit's finish: regular files first (they can be
// written again should the verdict change), then what is written straight
// through (standard output, a device, a FIFO).
#include <string>
#include <vector>

#include "app/run_command/options.h"
#include "station/finish_unit.h"

namespace multitone {

// `unit` names the files a station writes into its result folders.
std::vector<UnitSink> UnitOutputSinks(const ProgramOptions& options, const UnitResult& unit);

// Why the outputs the options name cannot be written, checked before the
// analyzer is touched: a folder that is missing or not writable, more than
// one of them on standard output, or a file named twice (two documents, or
// one over the record, the screen, the limits, the record replayed or a
// SQLite store). Empty when nothing stands in the way.
std::string UnitOutputProblem(const ProgramOptions& options);

// True when a document goes to standard output ("-"): the verdict line and
// the simulated analyzer's screen then go to standard error.
bool DocumentOnStdout(const ProgramOptions& options);

}  // namespace multitone
