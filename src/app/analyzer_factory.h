#pragma once
// How the run's link comes into being, from the --analyzer address.
#include "app/options.h"
#include "common/measurement_record.h"

namespace multitone {

// The factory the record calls on the link's first use. An address it cannot
// serve makes that call fail with RunError 429.
AnalyzerFactory MakeAnalyzerFactory(const ProgramOptions& options);

}  // namespace multitone
