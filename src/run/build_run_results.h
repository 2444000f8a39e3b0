#pragma once
// The run's results taken from its working record once the run has ended.
// Kept apart from run_results.h so that the results' many readers never see
// the record or the link.
#include "common/run_error.h"
#include "record/measurement_record.h"
#include "run/run_results.h"

namespace multitone {

// Builds the results of a run from its record. `error` is the failure that
// ended the run (its step names how far the run got), or null for a complete
// run.
RunResults BuildRunResults(const MeasurementRecord& record, const RunError* error);

}  // namespace multitone
