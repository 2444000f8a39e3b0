// An RS-232 line: ASRL/dev/PATH::INSTR[?SETTINGS], the socket's protocol with
// the line's terminator.
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "link/serial_stream.h"

namespace multitone::doors {

AnalyzerAddress ParseSerial(std::string_view text) {
  AnalyzerAddress out;
  SerialResource(text, out);
  return out;
}

std::unique_ptr<Transport> OpenSerial(const AnalyzerAddress& address, const DoorContext& context) {
  return OpenSerialTransport(address.path, address.serial, context.timeout);
}

}  // namespace multitone::doors
