#pragma once
// A two-way byte stream to an analyzer: a TCP connection, or the embedded
// simulated analyzer's input and output. The reply and block reader works on
// top of it, so every stream is parsed by the same code.
#include <cstddef>
#include <span>
#include <string_view>

#include "link/deadline.h"

namespace multitone {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Sends all bytes before the deadline, or throws RunError 440 with a short
  // reason ("connection closed by the analyzer", "sending did not complete
  // within the 20000 ms timeout").
  virtual void Send(std::string_view bytes, Deadline deadline) = 0;
  // Receives between 1 and buffer.size() bytes before the deadline, or
  // throws RunError 440 with a short reason ("connection closed by the
  // analyzer", "connection reset", "timed out").
  virtual std::size_t Receive(std::span<char> buffer, Deadline deadline) = 0;
};

}  // namespace multitone
