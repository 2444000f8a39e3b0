// SCPI on a raw TCP socket: tcp://HOST[:PORT] (port 5025) and the VISA form
// TCPIP[n]::HOST::PORT::SOCKET.
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "link/tcp_transport.h"

namespace multitone::doors {

bool ClaimsVisaSocket(std::string_view text) {
  return StartsWithNoCase(text, "TCPIP") && Upper(VisaFields(text).back()) == "SOCKET";
}

AnalyzerAddress ParseSocketUrl(std::string_view text) {
  AnalyzerAddress out;
  HostAndPort(text, text.substr(std::string_view("tcp://").size()), kDefaultAnalyzerPort, out);
  return out;
}

AnalyzerAddress ParseVisaSocket(std::string_view text) {
  const std::vector<std::string_view> fields = VisaFields(text);
  CheckTcpipInterface(text, fields);
  AnalyzerAddress out;
  out.host = VisaHost(text, fields[1]);
  if (fields.size() != 4) Refuse(text, "is not HOST::PORT::SOCKET");
  out.port = Port(text, fields[2]);
  return out;
}

std::unique_ptr<Transport> OpenSocket(const AnalyzerAddress& address, const DoorContext& context) {
  return OpenTcpTransport(address.host, address.port, context.timeout);
}

}  // namespace multitone::doors
