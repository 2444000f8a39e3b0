#pragma once
// The measurement run: the steps in their fixed order over one record. The
// first failure anywhere stops the run where it occurs: no further step runs
// and nothing more is sent (so the link is not closed); the RunError that
// leaves RunMeasurement names the step.
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

#include "record/measurement_record.h"
#include "common/run_error.h"

namespace multitone {

struct RunStep {
  std::string_view name;
  void (*perform)(MeasurementRecord&);
};

// ConfigureAnalyzer ... ShowResultsTable, FinishRun.
std::span<const RunStep> RunSteps();

// Called before each step with its index in RunSteps() and its name.
using BeforeStep = std::function<void(std::size_t index, std::string_view name)>;

// Performs one whole run. Throws RunError (with its step set) on failure.
void RunMeasurement(MeasurementRecord& record, const BeforeStep& before_step = {});

// The end-of-run hand-shake: memory strings ToneCount + 8 (24) and 8 are
// queried, then the link is closed as the very last operation.
void FinishRun(MeasurementRecord& record);

}  // namespace multitone
