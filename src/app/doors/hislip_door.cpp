// HiSLIP: TCPIP[n]::HOST::hislipN[,PORT][::INSTR], the sub-address hislipN
// on the server's PORT (4880). The sub-address goes to the server as given.
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "link/hislip_transport.h"

namespace multitone::doors {

bool ClaimsHislip(std::string_view text) {
  if (!StartsWithNoCase(text, "TCPIP")) return false;
  const std::vector<std::string_view> fields = VisaFields(text);
  return fields.size() > 2 && StartsWithNoCase(fields[2], "hislip");
}

AnalyzerAddress ParseHislip(std::string_view text) {
  const std::vector<std::string_view> fields = VisaFields(text);
  CheckTcpipInterface(text, fields);
  AnalyzerAddress out;
  out.host = VisaHost(text, fields[1]);
  std::vector<std::string_view> rest(fields.begin() + 2, fields.end());
  if (Upper(rest.back()) == "INSTR") rest.pop_back();
  if (rest.size() > 1) Refuse(text, "has too many fields");
  const std::string_view device = rest[0];
  const std::size_t comma = device.find(',');
  const std::string_view name = device.substr(0, comma);
  if (!AllDigits(name.substr(6))) Refuse(text, "names device '" + std::string(device) + "', not hislipN[,PORT]");
  out.device = std::string(name);
  out.port = comma == std::string_view::npos ? kDefaultHislipPort : Port(text, device.substr(comma + 1));
  return out;
}

std::unique_ptr<Transport> OpenHislip(const AnalyzerAddress& address, const DoorContext& context) {
  HislipSettings settings;
  settings.host = address.host;
  settings.port = address.port;
  settings.sub_address = address.device;
  settings.timeout = context.timeout;
  settings.trace = context.trace;
  return OpenHislipTransport(settings);
}

}  // namespace multitone::doors
