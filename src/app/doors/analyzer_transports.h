#pragma once
// The transports multitone reaches an analyzer through, as one table of
// {matches, open} rows tried in order: the first row whose `matches` takes
// the parsed address opens it. A new door is one row here (and its form in
// link/analyzer_address.cpp).
#include <chrono>
#include <iosfwd>
#include <memory>
#include <span>
#include <string_view>

#include "app/doors/embedded_analyzer.h"
#include "link/analyzer_address.h"
#include "link/transport.h"

namespace multitone {

struct TransportContext {
  std::chrono::milliseconds timeout{20000};
  // The built-in simulated analyzer lands here (when not null), so the
  // program can show its display after the run.
  std::shared_ptr<EmbeddedAnalyzer>* embedded = nullptr;
  // replay:FILE keeps the recorded delays between operations.
  bool replay_timing = false;
  // A transport that has messages of its own (HiSLIP) shows them here, when
  // not null, as the link shows its operations (--trace).
  std::ostream* trace = nullptr;
};

struct TransportRow {
  std::string_view name;
  bool (*matches)(const AnalyzerAddress& address);
  std::unique_ptr<Transport> (*open)(const AnalyzerAddress& address, const TransportContext& context);
};

// The rows, in the order they are tried.
std::span<const TransportRow> AnalyzerTransports();

// Opens the first row that matches `address`. Throws RunError 429, naming the
// address forms, when none does or the row cannot create the link.
std::unique_ptr<Transport> OpenAnalyzerTransport(const AnalyzerAddress& address, const TransportContext& context);

}  // namespace multitone
