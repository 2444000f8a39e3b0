// VXI-11: TCPIP[n]::HOST[::DEVICE][::INSTR], the device an instrument's instN
// or, on a LAN/GPIB gateway, gpibN,ADDR[,SECONDARY] or hpib,ADDR[,SECONDARY].
#include "app/doors/address_fields.h"
#include "app/doors/door_rows.h"
#include "link/vxi11_transport.h"

namespace multitone::doors {
namespace {

// A VXI-11 device name, returned as given: the gateway reads it.
std::string Vxi11Device(std::string_view text, std::string_view device) {
  const std::string upper = Upper(device);
  if (upper.rfind("INST", 0) == 0 && AllDigits(std::string_view(upper).substr(4))) return std::string(device);
  const std::string_view interface = upper.rfind("GPIB", 0) == 0 ? "GPIB" : upper.rfind("HPIB", 0) == 0 ? "HPIB" : "";
  const std::size_t comma = device.find(',');
  if (!interface.empty() && comma != std::string_view::npos) {
    const std::string_view board = device.substr(4, comma - 4);
    if (board.empty() || AllDigits(board)) {
      const std::string_view rest = device.substr(comma + 1);
      const std::size_t second = rest.find(',');
      Gpib(text, rest.substr(0, second),
           second == std::string_view::npos ? std::string_view() : rest.substr(second + 1));
      return std::string(device);
    }
  }
  Refuse(text, "names device '" + std::string(device) + "', not instN, gpibN,ADDR or hpib,ADDR");
}

}  // namespace

AnalyzerAddress ParseVxi11(std::string_view text) {
  const std::vector<std::string_view> fields = VisaFields(text);
  CheckTcpipInterface(text, fields);
  AnalyzerAddress out;
  out.host = VisaHost(text, fields[1]);
  // HOST, HOST::INSTR, HOST::DEVICE, HOST::DEVICE::INSTR
  std::vector<std::string_view> rest(fields.begin() + 2, fields.end());
  if (!rest.empty() && Upper(rest.back()) == "INSTR") rest.pop_back();
  if (rest.size() > 1) Refuse(text, "has too many fields");
  out.device = rest.empty() ? "inst0" : Vxi11Device(text, rest[0]);
  return out;
}

std::unique_ptr<Transport> OpenVxi11(const AnalyzerAddress& address, const DoorContext& context) {
  return OpenVxi11Transport(address.host, address.device, context.timeout);
}

}  // namespace multitone::doors
