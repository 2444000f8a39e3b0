#include "support/scripted_run.h"

#include <stdexcept>
#include <string>

#include "run/run_measurement.h"

namespace multitone::testing {

ScriptedRun::ScriptedRun(const AnalyzerScript& script) {
  Apply(script, analyzer);
  record.CreateAnalyzer = [this] { return std::make_unique<AnalyzerLink>(analyzer.Connect()); };
}

void ScriptedRun::RunThrough(std::string_view step) {
  const auto steps = RunSteps();
  for (; next_ < steps.size(); ++next_) {
    const RunStep& current = steps[next_];
    current.perform(record);
    if (current.name == step) {
      ++next_;
      return;
    }
  }
  throw std::logic_error("no step " + std::string(step) + " left to run");
}

}  // namespace multitone::testing
