#include "run/run_measurement.h"

#include <array>
#include <new>
#include <stdexcept>

#include "analysis/analysis_steps.h"
#include "measure/measure_steps.h"
#include "write_back/write_back_steps.h"

namespace multitone {
namespace {

constexpr std::array<RunStep, 13> kSteps = {{
    {"ConfigureAnalyzer", ConfigureAnalyzer},
    {"FillToneTables", FillToneTables},
    {"ConfigureFft", ConfigureFft},
    {"MeasurePitch", MeasurePitch},
    {"BuildTonePlan", BuildTonePlan},
    {"BuildNoiseMasks", BuildNoiseMasks},
    {"AcquireSpectra", AcquireSpectra},
    {"ComputeToneResults", ComputeToneResults},
    {"ComputeDistortionAndNoise", ComputeDistortionAndNoise},
    {"WriteResultStrings", WriteResultStrings},
    {"DrawResponseGraph", DrawResponseGraph},
    {"ShowResultsTable", ShowResultsTable},
    {"FinishRun", FinishRun},
}};

}  // namespace

std::span<const RunStep> RunSteps() { return kSteps; }

void RunMeasurement(MeasurementRecord& record, const BeforeStep& before_step) {
  for (std::size_t index = 0; index < RunSteps().size(); ++index) {
    const RunStep& step = RunSteps()[index];
    if (before_step) before_step(index, step.name);
    try {
      step.perform(record);
    } catch (RunError& error) {
      error.SetStep(step.name);
      throw;
    } catch (const std::bad_alloc&) {
      RunError error(ErrorNumber::Overflow, "out of memory");
      error.SetStep(step.name);
      throw error;
    }
  }
}

}  // namespace multitone
