#include "replay/replay_transport.h"

#include <chrono>
#include <thread>

#include "common/run_error.h"
#include "link/analyzer_link.h"

namespace multitone {
namespace {

std::string Describe(LinkCall call, std::string_view text) {
  std::string out = LinkCallName(call);
  if (call == LinkCall::Initialize || call == LinkCall::Write || call == LinkCall::ReadBlock) {
    out += " \"" + EscapeForTrace(text) + "\"";
  }
  return out;
}

[[noreturn]] void Rethrow(const RecordedError& error) {
  throw RunError(static_cast<ErrorNumber>(error.number), error.description);
}

class ReplayTransport final : public Transport {
 public:
  ReplayTransport(std::shared_ptr<const LinkRecord> record, std::string name, bool keep_timing)
      : record_(std::move(record)), name_(std::move(name)), keep_timing_(keep_timing),
        started_(std::chrono::steady_clock::now()) {}

  void Initialize(std::string_view text) override { Next(LinkCall::Initialize, text); }
  void Write(std::string_view text) override { Next(LinkCall::Write, text); }
  std::string Read() override { return Next(LinkCall::Read, {}).reply; }
  std::vector<float> ReadBlock(std::string_view query) override { return Next(LinkCall::ReadBlock, query).block; }
  void Close() override { Next(LinkCall::Close, {}); }

 private:
  // The recorded operation that answers this one; throws when it differs.
  const LinkOperation& Next(LinkCall call, std::string_view text) {
    const std::size_t number = next_ + 1;
    const auto& operations = record_->operations;
    if (next_ >= operations.size()) {
      throw RunError(ErrorNumber::AnalyzerOperationFailed,
                     "replay of " + name_ + ": operation " + std::to_string(number) + ": the record ends after " +
                         std::to_string(operations.size()) + " operations; sent " + Describe(call, text));
    }
    const LinkOperation& recorded = operations[next_++];
    const bool result_command = call == LinkCall::Write && recorded.call == LinkCall::Write &&
                                (next_ >= operations.size() || operations[next_].call != LinkCall::Read);
    const bool may_differ = record_->header.edited && result_command;
    if (recorded.call != call || (recorded.text != text && !may_differ)) {
      throw RunError(ErrorNumber::AnalyzerOperationFailed,
                     "replay of " + name_ + ": operation " + std::to_string(number) + ": recorded " +
                         Describe(recorded.call, recorded.text) + ", sent " + Describe(call, text));
    }
    if (keep_timing_) {
      std::this_thread::sleep_until(started_ + std::chrono::microseconds(recorded.start_us + recorded.took_us));
    }
    if (recorded.error) Rethrow(*recorded.error);
    return recorded;
  }

  std::shared_ptr<const LinkRecord> record_;
  std::string name_;
  bool keep_timing_;
  std::chrono::steady_clock::time_point started_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<Transport> MakeReplayTransport(std::shared_ptr<const LinkRecord> record, std::string record_name,
                                               bool keep_timing) {
  const auto& operations = record->operations;
  if (!operations.empty() && operations.front().call == LinkCall::Open && operations.front().error) {
    Rethrow(*operations.front().error);
  }
  return std::make_unique<ReplayTransport>(std::move(record), std::move(record_name), keep_timing);
}

}  // namespace multitone
