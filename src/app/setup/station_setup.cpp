#include "app/setup/station_setup.h"

#include "app/doors/analyzer_factory.h"
#include "app/doors/replay_analyzer.h"
#include "link/analyzer_address.h"
#include "station/unit_names.h"
#include "verdict/limits.h"

namespace multitone {

std::string BuildStationSetup(const StationChoices& choices, StationSetup& setup,
                              std::shared_ptr<EmbeddedAnalyzer>* embedded) {
  if (!choices.limits_file.empty()) {
    try {
      setup.limits = LoadLimits(choices.limits_file);
    } catch (const LimitsError& error) {
      return error.what();
    }
  }
  if (choices.station_given || !choices.station.empty()) {
    if (const auto problem = NameProblem(choices.station, "the station name (--station)")) return *problem;
    setup.station = choices.station;
  } else {
    setup.station = HostName();
  }
  if (!choices.operator_name.empty()) {
    if (const auto problem = NameProblem(choices.operator_name, "the operator's name (--operator)")) {
      return *problem;
    }
  }
  setup.operator_name = choices.operator_name;
  setup.create_analyzer = MakeAnalyzerFactory(choices.analyzer, choices.timeout, choices.trace, embedded,
                                              choices.wrap, choices.replay_timing);
  setup.analyzer = choices.analyzer.empty() ? "sim" : choices.analyzer;
  // A replayed unit was not measured now: it is marked as the simulator's are.
  setup.simulated = NamesSimulatedAnalyzer(choices.analyzer) || IsReplayAddress(choices.analyzer);
  return {};
}

}  // namespace multitone
