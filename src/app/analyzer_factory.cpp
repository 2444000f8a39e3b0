#include "app/analyzer_factory.h"

#include <ostream>

#include "app/replay_analyzer.h"
#include "common/run_error.h"
#include "link/tcp_transport.h"
#include "link/visa_address.h"
#include "link/vxi11_transport.h"

namespace multitone {

AnalyzerFactory MakeAnalyzerFactory(const std::string& address, std::chrono::milliseconds timeout,
                                    std::ostream* trace, std::shared_ptr<EmbeddedAnalyzer>* embedded,
                                    TransportWrap wrap, bool replay_timing) {
  if (!wrap) wrap = [](std::unique_ptr<Transport> transport) { return transport; };
  if (EmbeddedAnalyzer::Serves(address)) {
    return MakeEmbeddedAnalyzerFactory(address, timeout, trace, embedded, wrap);
  }
  // ---- replay:FILE, a recorded run answers (one row of its own) ----
  if (IsReplayAddress(address)) {
    return [address, replay_timing, trace, wrap]() -> std::unique_ptr<AnalyzerLink> {
      return std::make_unique<AnalyzerLink>(wrap(OpenReplayTransport(address, replay_timing)), trace);
    };
  }
  // ---- end of replay:FILE ----
  return [address, timeout, trace, wrap]() -> std::unique_ptr<AnalyzerLink> {
    if (address.rfind("tcp://", 0) == 0) {
      return std::make_unique<AnalyzerLink>(wrap(OpenTcpTransport(address, timeout)), trace);
    }
    if (LooksLikeVisaAddress(address)) {
      const VisaAddress visa = ParseVisaAddress(address);
      return std::make_unique<AnalyzerLink>(
          wrap(visa.kind == VisaAddress::Kind::Socket ? OpenTcpTransportTo(visa.host, visa.port, timeout)
                                                      : OpenVxi11Transport(visa.host, visa.device, timeout)),
          trace);
    }
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "unknown analyzer address '" + address +
                       "' (expected tcp://HOST[:PORT], TCPIP::HOST::PORT::SOCKET, "
                       "TCPIP::HOST[::instN][::INSTR], sim[:OPTIONS] or replay:FILE)");
  };
}

}  // namespace multitone
