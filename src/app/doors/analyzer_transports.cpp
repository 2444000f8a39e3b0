#include "app/doors/analyzer_transports.h"

#include "app/doors/replay_analyzer.h"
#include "common/run_error.h"
#include "link/gpib_controller_transport.h"
#include "link/hislip_transport.h"
#include "link/serial_stream.h"
#include "link/tcp_transport.h"
#include "link/vxi11_transport.h"

namespace multitone {
namespace {

using Kind = AnalyzerAddress::Kind;

std::unique_ptr<Transport> OpenSimulated(const AnalyzerAddress& address, const TransportContext& context) {
  auto analyzer = std::make_shared<EmbeddedAnalyzer>(address.text);
  if (context.embedded != nullptr) *context.embedded = analyzer;
  return analyzer->Connect(context.timeout);
}

std::unique_ptr<Transport> OpenSocket(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenTcpTransportTo(address.host, address.port, context.timeout);
}

std::unique_ptr<Transport> OpenVxi11(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenVxi11Transport(address.host, address.device, context.timeout);
}

std::unique_ptr<Transport> OpenHislip(const AnalyzerAddress& address, const TransportContext& context) {
  HislipSettings settings;
  settings.host = address.host;
  settings.port = address.port;
  settings.sub_address = address.device;
  settings.timeout = context.timeout;
  settings.trace = context.trace;
  return OpenHislipTransport(settings);
}

std::unique_ptr<Transport> OpenSerial(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenSerialTransport(address.path, address.serial, context.timeout);
}

std::unique_ptr<Transport> OpenControllerOnLan(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenGpibControllerTransport(TcpConnector(address.host, address.port, context.timeout), address.gpib,
                                     context.timeout);
}

std::unique_ptr<Transport> OpenControllerOnUsb(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenGpibControllerTransport(SerialConnector(address.path, address.serial, context.timeout),
                                     address.gpib, context.timeout);
}

std::unique_ptr<Transport> OpenReplay(const AnalyzerAddress& address, const TransportContext& context) {
  return OpenReplayTransport(address.text, context.replay_timing);
}

constexpr TransportRow kRows[] = {
    {"simulated", [](const AnalyzerAddress& a) { return a.kind == Kind::Simulated; }, OpenSimulated},
    {"socket", [](const AnalyzerAddress& a) { return a.kind == Kind::Socket; }, OpenSocket},
    {"vxi11", [](const AnalyzerAddress& a) { return a.kind == Kind::Vxi11; }, OpenVxi11},
    {"hislip", [](const AnalyzerAddress& a) { return a.kind == Kind::Hislip; }, OpenHislip},
    {"serial", [](const AnalyzerAddress& a) { return a.kind == Kind::Serial; }, OpenSerial},
    {"gpib controller on the LAN",
     [](const AnalyzerAddress& a) { return a.kind == Kind::GpibController && a.path.empty(); }, OpenControllerOnLan},
    {"gpib controller on USB",
     [](const AnalyzerAddress& a) { return a.kind == Kind::GpibController && !a.path.empty(); }, OpenControllerOnUsb},
    {"replay", [](const AnalyzerAddress& a) { return a.kind == Kind::Replay; }, OpenReplay},
};

}  // namespace

std::span<const TransportRow> AnalyzerTransports() { return kRows; }

std::unique_ptr<Transport> OpenAnalyzerTransport(const AnalyzerAddress& address, const TransportContext& context) {
  for (const TransportRow& row : AnalyzerTransports()) {
    if (row.matches(address)) return row.open(address, context);
  }
  throw RunError(ErrorNumber::LinkCannotBeCreated, "analyzer address '" + address.text +
                                                       "' has no transport here (expected " +
                                                       std::string(AnalyzerAddressForms()) + ")");
}

}  // namespace multitone
