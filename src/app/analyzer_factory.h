#pragma once
// How the run's link comes into being, from the --analyzer address.
#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/embedded_analyzer.h"
#include "record/measurement_record.h"

namespace multitone {

// The factory the record calls on the link's first use: the address is
// parsed (link/analyzer_address.h) and opened through the first transport of
// app/analyzer_transports.h that takes it; the built-in simulated analyzer
// lands in `*embedded` (when given) so the program can show its display
// after the run. An address it cannot serve makes that call fail with
// RunError 429. `timeout` bounds each analyzer operation; `trace`, when
// given, receives every link operation as it happens.
AnalyzerFactory MakeAnalyzerFactory(std::string address, std::chrono::milliseconds timeout, std::ostream* trace,
                                    std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr);

}  // namespace multitone
