#include "sim/status_model.h"

namespace multitone::sim {

void StatusModel::NoteError(ScpiCode code) {
  const int value = static_cast<int>(code);
  if (value <= -100 && value > -200) esr_ |= kCommandError;
  else if (value <= -200 && value > -300) esr_ |= kExecutionError;
  else if (value <= -300 && value > -400) esr_ |= kDeviceError;
  else if (value <= -400 && value > -500) esr_ |= kQueryError;
}

std::uint8_t StatusModel::TakeEvents() {
  const std::uint8_t events = esr_;
  esr_ = 0;
  return events;
}

std::uint8_t StatusModel::StatusByte(bool message_available, bool error_available) const {
  std::uint8_t stb = 0;
  if (error_available) stb |= kErrorAvailable;
  if (message_available) stb |= kMessageAvailable;
  if ((esr_ & ese_) != 0) stb |= kEventSummary;
  if ((stb & sre_) != 0) stb |= kMasterSummary;
  return stb;
}

}  // namespace multitone::sim
