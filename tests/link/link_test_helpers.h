#pragma once
// Helpers shared by the link tests: an in-memory ByteStream that delivers
// prepared bytes in whatever pieces a test chooses, a way to catch the
// RunError an operation must end with, and a TCP link to a loopback server.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "link/byte_stream.h"
#include "link/tcp_transport.h"
#include "support/loopback_server.h"

namespace multitone::testing {

// What a PieceStream saw, kept apart from the stream so that a test can
// still look at it after the transport has dropped the stream.
struct StreamLog {
  std::vector<std::string> sent;          // one entry per Send call
  std::vector<Deadline::Clock::time_point> receive_deadlines;
  bool destroyed = false;
};

// Hands out `pieces` one after another: each Receive returns at most the rest
// of the current piece (fewer bytes when the caller's buffer is smaller).
// After the last piece every Receive fails like an analyzer that closed the
// connection, or with `end` when given.
class PieceStream : public ByteStream {
 public:
  PieceStream(std::vector<std::string> pieces, std::shared_ptr<StreamLog> log = nullptr,
              std::string end = "connection closed by the analyzer")
      : pieces_(std::move(pieces)),
        log_(log ? std::move(log) : std::make_shared<StreamLog>()),
        end_(std::move(end)) {}
  ~PieceStream() override { log_->destroyed = true; }

  void Send(std::string_view bytes, Deadline) override { log_->sent.emplace_back(bytes); }

  std::size_t Receive(std::span<char> buffer, Deadline deadline) override {
    log_->receive_deadlines.push_back(deadline.At());
    while (next_ < pieces_.size() && offset_ == pieces_[next_].size()) {
      ++next_;
      offset_ = 0;
    }
    if (next_ == pieces_.size()) throw RunError(ErrorNumber::AnalyzerOperationFailed, end_);
    const std::string& piece = pieces_[next_];
    const std::size_t count = std::min(buffer.size(), piece.size() - offset_);
    std::memcpy(buffer.data(), piece.data() + offset_, count);
    offset_ += count;
    return count;
  }

  const StreamLog& Log() const { return *log_; }

 private:
  std::vector<std::string> pieces_;
  std::size_t next_ = 0;
  std::size_t offset_ = 0;
  std::shared_ptr<StreamLog> log_;
  std::string end_;
};

// `bytes` cut into pieces of `size` bytes (the last one shorter).
inline std::vector<std::string> InPieces(const std::string& bytes, std::size_t size) {
  std::vector<std::string> pieces;
  for (std::size_t i = 0; i < bytes.size(); i += size) pieces.push_back(bytes.substr(i, size));
  return pieces;
}

// `bytes` cut in two at `at`.
inline std::vector<std::string> SplitAt(const std::string& bytes, std::size_t at) {
  return {bytes.substr(0, at), bytes.substr(at)};
}

inline std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }
inline float FromBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// The RunError that `operation` throws; a test failure when it returns.
template <typename Operation>
RunError CaughtRunError(Operation&& operation) {
  try {
    operation();
  } catch (const RunError& error) {
    return error;
  }
  ADD_FAILURE() << "the operation completed; a RunError was expected";
  return RunError(ErrorNumber::AnalyzerOperationFailed, "(no error was thrown)");
}

// Lets a test wait, bounded, until a server's handler has finished: the
// LoopbackServer stops at once when it goes out of scope, and may not even
// have accepted a connection whose client has already closed.
class Finished {
 public:
  void Signal() { promise_.set_value(); }
  bool Wait(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    return future_.wait_for(limit) == std::future_status::ready;
  }

 private:
  std::promise<void> promise_;
  std::future<void> future_ = promise_.get_future();
};

// A TCP transport to `server`, initialized (connected).
inline std::unique_ptr<Transport> ConnectedTo(const LoopbackServer& server,
                                              std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  std::unique_ptr<Transport> transport = OpenTcpTransport("127.0.0.1", server.Port(), timeout);
  transport->Initialize("selfadjustment");
  return transport;
}

}  // namespace multitone::testing
