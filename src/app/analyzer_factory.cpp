#include "app/analyzer_factory.h"

#include <ostream>

#include "common/run_error.h"
#include "link/tcp_transport.h"
#include "link/visa_address.h"
#include "link/vxi11_transport.h"

namespace multitone {

AnalyzerFactory MakeAnalyzerFactory(const std::string& address, std::chrono::milliseconds timeout,
                                    std::ostream* trace, std::shared_ptr<EmbeddedAnalyzer>* embedded) {
  if (EmbeddedAnalyzer::Serves(address)) {
    return MakeEmbeddedAnalyzerFactory(address, timeout, trace, embedded);
  }
  return [address, timeout, trace]() -> std::unique_ptr<AnalyzerLink> {
    if (address.rfind("tcp://", 0) == 0) {
      return std::make_unique<AnalyzerLink>(OpenTcpTransport(address, timeout), trace);
    }
    if (LooksLikeVisaAddress(address)) {
      const VisaAddress visa = ParseVisaAddress(address);
      return std::make_unique<AnalyzerLink>(
          visa.kind == VisaAddress::Kind::Socket ? OpenTcpTransportTo(visa.host, visa.port, timeout)
                                                 : OpenVxi11Transport(visa.host, visa.device, timeout),
          trace);
    }
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "unknown analyzer address '" + address +
                       "' (expected tcp://HOST[:PORT], TCPIP::HOST::PORT::SOCKET, "
                       "TCPIP::HOST[::instN][::INSTR] or sim[:OPTIONS])");
  };
}

}  // namespace multitone
