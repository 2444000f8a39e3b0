#include "app/doors/embedded_analyzer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "common/run_error.h"
#include "link/analyzer_address.h"
#include "link/stream_transport.h"
#include "common/durable_file.h"
#include "sim/screen_svg.h"
#include "sim/screen_text.h"
#include "sim/simulated_analyzer.h"

namespace multitone {
namespace {

constexpr std::string_view kScheme = "sim";

// The interpreter's input and output as a byte stream. Sending runs the
// commands at once; receiving hands out the replies they left.
class SimulatorStream : public ByteStream {
 public:
  explicit SimulatorStream(std::shared_ptr<sim::SimulatedAnalyzer> analyzer)
      : analyzer_(std::move(analyzer)) {
    analyzer_->GetInterpreter().StartSession();
  }

  void Send(std::string_view bytes, Deadline) override { analyzer_->GetInterpreter().Input(bytes); }

  std::size_t Receive(std::span<char> buffer, Deadline) override {
    if (offset_ == pending_.size()) {
      std::optional<std::string> reply = analyzer_->GetInterpreter().TakeReply();
      if (!reply) {
        throw RunError(ErrorNumber::AnalyzerOperationFailed, "the simulated analyzer has no reply pending");
      }
      pending_ = std::move(*reply);
      offset_ = 0;
    }
    const std::size_t count = std::min(buffer.size(), pending_.size() - offset_);
    std::memcpy(buffer.data(), pending_.data() + offset_, count);
    offset_ += count;
    return count;
  }

 private:
  std::shared_ptr<sim::SimulatedAnalyzer> analyzer_;
  std::string pending_;
  std::size_t offset_ = 0;
};

}  // namespace

EmbeddedAnalyzer::EmbeddedAnalyzer(std::string_view address) {
  if (!NamesSimulatedAnalyzer(address)) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "'" + std::string(address) + "' is not a simulated analyzer address (sim[:OPTIONS])");
  }
  const std::string_view options = address.size() > kScheme.size() ? address.substr(kScheme.size() + 1) : "";
  try {
    analyzer_ = std::make_shared<sim::SimulatedAnalyzer>(sim::ParseDeviceOptions(options));
  } catch (const std::invalid_argument& error) {
    throw RunError(ErrorNumber::LinkCannotBeCreated,
                   "simulated analyzer '" + std::string(address) + "': " + error.what());
  }
}

EmbeddedAnalyzer::~EmbeddedAnalyzer() = default;

std::unique_ptr<Transport> EmbeddedAnalyzer::Connect(std::chrono::milliseconds timeout) {
  std::shared_ptr<sim::SimulatedAnalyzer> analyzer = analyzer_;
  return MakeStreamTransport(
      [analyzer](Deadline) -> std::unique_ptr<ByteStream> { return std::make_unique<SimulatorStream>(analyzer); },
      timeout);
}

std::string EmbeddedAnalyzer::ScreenText() const { return sim::ScreenText(analyzer_->GetInstrument().State()); }

std::string EmbeddedAnalyzer::ScreenSvg() const { return sim::ScreenSvg(analyzer_->GetInstrument().State()); }

std::string EmbeddedAnalyzer::WriteScreenSvg(const std::string& path) const {
  return WriteFileDurably(path, ScreenSvg());
}

AnalyzerFactory MakeEmbeddedAnalyzerFactory(
    std::string address, std::chrono::milliseconds timeout, std::ostream* trace,
    std::shared_ptr<EmbeddedAnalyzer>* keep,
    std::function<std::unique_ptr<Transport>(std::unique_ptr<Transport>)> wrap) {
  return [address, timeout, trace, keep, wrap]() -> std::unique_ptr<AnalyzerLink> {
    auto analyzer = std::make_shared<EmbeddedAnalyzer>(address);
    if (keep != nullptr) *keep = analyzer;
    std::unique_ptr<Transport> transport = analyzer->Connect(timeout);
    return std::make_unique<AnalyzerLink>(wrap ? wrap(std::move(transport)) : std::move(transport), trace);
  };
}

}  // namespace multitone
