#pragma once
// How the run's link comes into being, from the --analyzer address.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/embedded_analyzer.h"
#include "record/measurement_record.h"

namespace multitone {

// The factory the record calls on the link's first use: "tcp://HOST[:PORT]"
// or a VISA resource string (link/visa_address.h) for an analyzer over TCP
// or VXI-11, "sim[:OPTIONS]" or no address for the built-in
// simulated analyzer, which lands in `*embedded` (when given) so the program
// can show its display after the run; "replay:FILE" for a recorded run
// (app/replay_analyzer.h), with the recorded delays when `replay_timing`. An
// address it cannot serve makes that call fail with RunError 429.
// `timeout` bounds each analyzer operation; `trace`, when given, receives
// every link operation as it happens.
// `wrap`, when given, is put around every transport opened (--record).
using TransportWrap = std::function<std::unique_ptr<Transport>(std::unique_ptr<Transport>)>;
AnalyzerFactory MakeAnalyzerFactory(const std::string& address, std::chrono::milliseconds timeout,
                                    std::ostream* trace,
                                    std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr,
                                    TransportWrap wrap = {}, bool replay_timing = false);

}  // namespace multitone
