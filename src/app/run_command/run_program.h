#pragma once
// One start of multitone: the unit tested against the analyzer, judged when
// limits are given, its outputs written. Returns the exit status: 0 done (or
// PASS / MARGINAL), 1 the run failed (ERROR) or a result could not be
// written, 2 a bad limits file or serial, 3 FAIL.
#include "app/run_command/options.h"

namespace multitone {

int RunProgram(const ProgramOptions& options);

}  // namespace multitone
