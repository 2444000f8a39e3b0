#pragma once
// The IEEE 488.2 status model: the standard event status register (ESR) and
// its enable mask (ESE), the service request enable mask (SRE), and the
// status byte built from them with the output and error queues' state.
#include <cstdint>

#include "sim/scpi_error.h"

namespace multitone::sim {

class StatusModel {
 public:
  // ESR bits.
  static constexpr std::uint8_t kOperationComplete = 0x01;
  static constexpr std::uint8_t kQueryError = 0x04;
  static constexpr std::uint8_t kDeviceError = 0x08;
  static constexpr std::uint8_t kExecutionError = 0x10;
  static constexpr std::uint8_t kCommandError = 0x20;
  // Status byte bits.
  static constexpr std::uint8_t kErrorAvailable = 0x04;     // EAV
  static constexpr std::uint8_t kMessageAvailable = 0x10;   // MAV
  static constexpr std::uint8_t kEventSummary = 0x20;       // ESB
  static constexpr std::uint8_t kMasterSummary = 0x40;      // MSS (RQS)

  // Sets the ESR bit of the error's class: -1xx command, -2xx execution,
  // -3xx device-specific, -4xx query error.
  void NoteError(ScpiCode code);
  void NoteOperationComplete() { esr_ |= kOperationComplete; }

  // *ESR?: the register, which reading clears.
  std::uint8_t TakeEvents();
  // *CLS: the event register (the queues are cleared by their owners).
  void ClearEvents() { esr_ = 0; }

  void SetEventEnable(std::uint8_t mask) { ese_ = mask; }
  std::uint8_t EventEnable() const { return ese_; }
  // *SRE: bit 6 cannot be enabled; it is ignored.
  void SetServiceEnable(std::uint8_t mask) { sre_ = mask & static_cast<std::uint8_t>(~kMasterSummary); }
  std::uint8_t ServiceEnable() const { return sre_; }

  // The status byte (*STB?, and a VXI-11 read status byte) with MSS set when
  // an enabled summary bit is set.
  std::uint8_t StatusByte(bool message_available, bool error_available) const;

 private:
  std::uint8_t esr_ = 0;
  std::uint8_t ese_ = 0;
  std::uint8_t sre_ = 0;
};

}  // namespace multitone::sim
