#include "app/study/simulated_part.h"

#include <stdexcept>

#include "sim/device_options.h"

namespace multitone {

std::string SimulatedPartAddress(const std::string& address, const std::string& serial,
                                 std::uint64_t ordinal) {
  const std::size_t colon = address.find(':');
  sim::DeviceOptions options = sim::ParseDeviceOptions(
      colon == std::string::npos ? std::string_view() : std::string_view(address).substr(colon + 1));
  if (!options.part.empty()) throw std::invalid_argument("option part is set by the study from each serial");
  if (serial.find(',') != std::string::npos) {
    throw std::invalid_argument("serial " + serial + " holds a comma: the simulated analyzer cannot name it");
  }
  options.part = serial;
  options.seed += ordinal;
  return "sim:" + sim::DescribeDeviceOptions(options);
}

}  // namespace multitone
