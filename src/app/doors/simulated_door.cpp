// The built-in simulated analyzer: sim[:OPTIONS], or no address at all. Its
// options are checked when the address is parsed, so a mistyped device is a
// usage error before anything runs.
#include <stdexcept>

#include "app/doors/door_rows.h"
#include "app/doors/embedded_analyzer.h"
#include "common/run_error.h"
#include "sim/device_options.h"

namespace multitone::doors {

AnalyzerAddress ParseSimulated(std::string_view text) {
  AnalyzerAddress out;
  if (text.size() > 3) out.sim_options = std::string(text.substr(4));
  try {
    sim::ParseDeviceOptions(out.sim_options);
  } catch (const std::invalid_argument& error) {
    throw RunError(ErrorNumber::LinkCannotBeCreated, "simulated analyzer '" + std::string(text) + "': " + error.what());
  }
  return out;
}

std::unique_ptr<Transport> OpenSimulated(const AnalyzerAddress& address, const DoorContext& context) {
  auto analyzer = std::make_shared<EmbeddedAnalyzer>(address.text);
  if (context.embedded != nullptr) *context.embedded = analyzer;
  return analyzer->Connect(context.timeout);
}

}  // namespace multitone::doors
