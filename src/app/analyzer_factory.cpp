#include "app/analyzer_factory.h"

#include <iostream>

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

AnalyzerFactory MakeAnalyzerFactory(const ProgramOptions& options,
                                    std::shared_ptr<EmbeddedAnalyzer>* embedded) {
  return MakeAnalyzerFactory(options.analyzer, std::chrono::milliseconds(options.timeout_ms),
                             options.trace ? &std::cerr : nullptr, embedded);
}

}  // namespace multitone
