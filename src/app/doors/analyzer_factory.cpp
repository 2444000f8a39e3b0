#include "app/doors/analyzer_factory.h"

#include "app/doors/analyzer_doors.h"

namespace multitone {

AnalyzerFactory MakeAnalyzerFactory(const std::string& address, std::chrono::milliseconds timeout,
                                    std::ostream* trace, std::shared_ptr<EmbeddedAnalyzer>* embedded,
                                    TransportWrap wrap, bool replay_timing) {
  return [address, timeout, trace, embedded, wrap, replay_timing]() -> std::unique_ptr<AnalyzerLink> {
    std::unique_ptr<Transport> transport =
        OpenAnalyzerTransport(ParseAnalyzerAddress(address), DoorContext{timeout, embedded, replay_timing, trace});
    return std::make_unique<AnalyzerLink>(wrap ? wrap(std::move(transport)) : std::move(transport), trace);
  };
}

}  // namespace multitone
