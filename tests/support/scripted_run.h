#pragma once
// A run against the in-memory scripted analyzer, taken step by step, so a
// test can look at the record between steps.
#include <string_view>

#include "record/measurement_record.h"
#include "support/scripted_analyzer.h"
#include "support/run_script.h"

namespace multitone::testing {

class ScriptedRun {
 public:
  explicit ScriptedRun(const AnalyzerScript& script = {});

  // Performs the run's steps in order, up to and including `step`.
  void RunThrough(std::string_view step);
  // Performs every step of the run.
  void RunAll() { RunThrough("FinishRun"); }

  ScriptedAnalyzer analyzer;
  MeasurementRecord record;

 private:
  std::size_t next_ = 0;
};

// The spectrum index of a bin held as a float.
inline std::size_t Bin(double bin) { return static_cast<std::size_t>(bin); }

}  // namespace multitone::testing
