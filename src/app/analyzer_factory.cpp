#include "app/analyzer_factory.h"

#include <iostream>

#include "common/run_error.h"
#include "link/tcp_transport.h"
#ifdef MULTITONE_HAS_SIM
#include "app/embedded_analyzer.h"
#endif

namespace multitone {

AnalyzerFactory MakeAnalyzerFactory(const ProgramOptions& options) {
  const std::string address = options.analyzer;
  const std::chrono::milliseconds timeout(options.timeout_ms);
  std::ostream* trace = options.trace ? &std::cerr : nullptr;
#ifdef MULTITONE_HAS_SIM
  // "sim[:OPTIONS]" or no address: the built-in simulated analyzer.
  if (EmbeddedAnalyzer::Serves(address)) {
    return MakeEmbeddedAnalyzerFactory(address, timeout, trace, nullptr);
  }
#endif
  return [address, timeout, trace]() -> std::unique_ptr<AnalyzerLink> {
    if (address.rfind("tcp://", 0) == 0) {
      return std::make_unique<AnalyzerLink>(OpenTcpTransport(address, timeout), trace);
    }
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "unknown analyzer address '" + address + "' (expected tcp://HOST[:PORT] or sim[:OPTIONS])");
  };
}

}  // namespace multitone
