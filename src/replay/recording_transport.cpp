#include "replay/recording_transport.h"

#include "common/run_error.h"

namespace multitone {
namespace {

class RecordingTransport final : public Transport {
 public:
  RecordingTransport(std::unique_ptr<Transport> inner, std::shared_ptr<std::vector<LinkOperation>> operations,
                     std::chrono::steady_clock::time_point opened)
      : inner_(std::move(inner)), operations_(std::move(operations)), opened_(opened) {}

  void Initialize(std::string_view text) override {
    Keep(LinkCall::Initialize, text, [&](LinkOperation&) { inner_->Initialize(text); });
  }
  void Write(std::string_view text) override {
    Keep(LinkCall::Write, text, [&](LinkOperation&) { inner_->Write(text); });
  }
  std::string Read() override {
    std::string reply;
    Keep(LinkCall::Read, {}, [&](LinkOperation& operation) {
      reply = inner_->Read();
      operation.reply = reply;
    });
    return reply;
  }
  std::vector<float> ReadBlock(std::string_view query) override {
    std::vector<float> values;
    Keep(LinkCall::ReadBlock, query, [&](LinkOperation& operation) {
      values = inner_->ReadBlock(query);
      operation.block = values;
    });
    return values;
  }
  void Close() override {
    Keep(LinkCall::Close, {}, [&](LinkOperation&) { inner_->Close(); });
  }
  // What stands between the link and the analyzer (--trace), as the
  // transport recorded says.
  std::string Peer() const override { return inner_->Peer(); }

 private:
  template <typename Operation>
  void Keep(LinkCall call, std::string_view text, Operation&& operate) {
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    LinkOperation operation;
    operation.call = call;
    operation.text = text;
    const auto start = std::chrono::steady_clock::now();
    operation.start_us = duration_cast<microseconds>(start - opened_).count();
    try {
      operate(operation);
    } catch (const RunError& error) {
      operation.took_us = duration_cast<microseconds>(std::chrono::steady_clock::now() - start).count();
      operation.error = RecordedError{static_cast<int>(error.Number()), error.Description()};
      operations_->push_back(std::move(operation));
      throw;
    }
    operation.took_us = duration_cast<microseconds>(std::chrono::steady_clock::now() - start).count();
    operations_->push_back(std::move(operation));
  }

  std::unique_ptr<Transport> inner_;
  std::shared_ptr<std::vector<LinkOperation>> operations_;
  std::chrono::steady_clock::time_point opened_;
};

}  // namespace

std::unique_ptr<Transport> MakeRecordingTransport(std::unique_ptr<Transport> inner,
                                                  std::shared_ptr<std::vector<LinkOperation>> operations,
                                                  std::chrono::steady_clock::time_point opened) {
  return std::make_unique<RecordingTransport>(std::move(inner), std::move(operations), opened);
}

}  // namespace multitone
