#pragma once
// The simulated analyzer inside multitone: "--analyzer sim", "sim:OPTIONS"
// (speed=1.0012,level=0.1936,thd=0.03,crosstalk=-75,noise=1e-5,hum=0,
// fault=dead-right,seed=7) or no --analyzer at all. The run reaches it
// through the same wire protocol as an analyzer over TCP: its link is a
// ByteStream on the simulator's interpreter, read by the same reply and block
// reader, so the measurement code cannot tell the two apart.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "record/measurement_record.h"
#include "link/transport.h"

namespace multitone {

namespace sim {
class SimulatedAnalyzer;
}

class EmbeddedAnalyzer {
 public:
  // Builds the analyzer and its device from the address's options. Throws
  // RunError 429 for an unknown option, a malformed or out-of-range value.
  explicit EmbeddedAnalyzer(std::string_view address);
  ~EmbeddedAnalyzer();

  // A transport whose Initialize starts a new session on this analyzer (its
  // state stays from one session to the next). The transport shares the
  // analyzer, so either may be released first. Reading when no reply is
  // pending fails at once with RunError 440, it never waits.
  std::unique_ptr<Transport> Connect(std::chrono::milliseconds timeout);

  // The display: the explanation window's results table as aligned text and
  // the eight memory strings.
  std::string ScreenText() const;
  // The display as an SVG picture.
  std::string ScreenSvg() const;
  // Writes ScreenSvg() to `path` (via a temporary file and a rename). Returns
  // an empty text, or why it could not be written.
  std::string WriteScreenSvg(const std::string& path) const;

  sim::SimulatedAnalyzer& Simulator() { return *analyzer_; }

 private:
  std::shared_ptr<sim::SimulatedAnalyzer> analyzer_;
};

// The record's factory for an embedded analyzer: the analyzer is built on
// the link's first use, so a bad address fails inside the run like any link
// that cannot be created (error 429), and it is kept in `*keep` (when given)
// for the program to show after the run. `wrap` is put around its transport.
AnalyzerFactory MakeEmbeddedAnalyzerFactory(
    std::string address, std::chrono::milliseconds timeout, std::ostream* trace,
    std::shared_ptr<EmbeddedAnalyzer>* keep,
    std::function<std::unique_ptr<Transport>(std::unique_ptr<Transport>)> wrap = {});

}  // namespace multitone
