#pragma once
// One unit tested on a station: the run against the analyzer, its results
// judged against the limits, everything gathered into one UnitResult. Used by
// the command line and by the station server alike.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "record/measurement_record.h"
#include "verdict/unit_result.h"

namespace multitone {

struct StationSetup {
  AnalyzerFactory create_analyzer;   // a new link for each run
  std::string analyzer;              // the address as given
  bool simulated = false;
  std::string station;               // host name by default
  std::string operator_name;
  std::optional<LimitsSource> limits;
};

// Called before each step of the run: index 0-based, of `count`, the step's name.
using StepProgress = std::function<void(std::size_t index, std::size_t count, std::string_view step)>;

UnitResult RunUnit(const StationSetup& setup, const std::string& serial,
                    const StepProgress& progress = {});

// A random (version 4) UUID, lower-case.
std::string NewRunId();
// This machine's host name ("station" when it has none).
std::string HostName();

}  // namespace multitone
