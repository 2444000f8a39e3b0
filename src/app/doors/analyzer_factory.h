#pragma once
// How the run's link comes into being, from the --analyzer address.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/doors/embedded_analyzer.h"
#include "link/transport.h"
#include "record/measurement_record.h"

namespace multitone {

// Put around every transport opened (--record keeps what crosses it).
using TransportWrap = std::function<std::unique_ptr<Transport>(std::unique_ptr<Transport>)>;

// The factory the record calls on the link's first use: the address is
// parsed (link/analyzer_address.h) and opened through the first transport of
// app/analyzer_transports.h that takes it; the built-in simulated analyzer
// lands in `*embedded` (when given) so the program can show its display
// after the run; "replay:FILE" answers from a record, with the recorded
// delays when `replay_timing`. An address it cannot serve makes that call
// fail with RunError 429. `timeout` bounds each analyzer operation; `trace`,
// when given, receives every link operation as it happens; `wrap`, when
// given, is put around the transport.
AnalyzerFactory MakeAnalyzerFactory(const std::string& address, std::chrono::milliseconds timeout,
                                    std::ostream* trace, std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr,
                                    TransportWrap wrap = {}, bool replay_timing = false);

}  // namespace multitone
