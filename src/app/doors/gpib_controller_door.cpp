// A GPIB controller of the "++" command family, the analyzer at a GPIB
// address behind it: on the LAN, prologix://HOST[:PORT]/ADDR[,SECONDARY]
// (port 1234), or on USB, a serial port with ?gpib=ADDR among its settings.
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "link/gpib_controller_transport.h"
#include "link/serial_stream.h"
#include "link/tcp_transport.h"

namespace multitone::doors {

AnalyzerAddress ParseControllerOnLan(std::string_view text) {
  AnalyzerAddress out;
  std::string_view rest = text.substr(std::string_view("prologix://").size());
  const std::size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) Refuse(text, "names no GPIB address (prologix://HOST[:PORT]/ADDR)");
  HostAndPort(text, rest.substr(0, slash), kDefaultControllerPort, out);
  const std::string_view gpib = rest.substr(slash + 1);
  const std::size_t comma = gpib.find(',');
  out.gpib = Gpib(text, gpib.substr(0, comma),
                  comma == std::string_view::npos ? std::string_view() : gpib.substr(comma + 1));
  return out;
}

std::unique_ptr<Transport> OpenControllerOnLan(const AnalyzerAddress& address, const DoorContext& context) {
  return OpenGpibControllerTransport(TcpConnector(address.host, address.port, context.timeout), address.gpib,
                                     context.timeout);
}

AnalyzerAddress ParseControllerOnUsb(std::string_view text) {
  AnalyzerAddress out;
  SerialResource(text, out);
  return out;
}

std::unique_ptr<Transport> OpenControllerOnUsb(const AnalyzerAddress& address, const DoorContext& context) {
  return OpenGpibControllerTransport(SerialConnector(address.path, address.serial, context.timeout),
                                     address.gpib, context.timeout);
}

}  // namespace multitone::doors
