#include "app/analyzer_factory.h"

#include "app/analyzer_transports.h"

namespace multitone {

AnalyzerFactory MakeAnalyzerFactory(std::string address, std::chrono::milliseconds timeout, std::ostream* trace,
                                    std::shared_ptr<EmbeddedAnalyzer>* embedded) {
  return [address, timeout, trace, embedded]() -> std::unique_ptr<AnalyzerLink> {
    const AnalyzerAddress parsed = ParseAnalyzerAddress(address);
    return std::make_unique<AnalyzerLink>(OpenAnalyzerTransport(parsed, TransportContext{timeout, embedded}),
                                          trace);
  };
}

}  // namespace multitone
