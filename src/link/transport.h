#pragma once
// What carries the analyzer's command texts: a TCP socket to a real analyzer,
// the embedded simulated analyzer, or a scripted analyzer in tests. The
// measurement code never knows which one it talks to.
//
// Every operation either completes or throws RunError (440 analyzer operation
// failed); nothing is retried.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace multitone {

class Transport {
 public:
  virtual ~Transport() = default;

  // Makes the analyzer ready for commands. Over TCP: opens the connection
  // and sends nothing.
  virtual void Initialize(std::string_view text) = 0;
  // Sends one command or chain of commands, exactly as given.
  virtual void Write(std::string_view text) = 0;
  // The next reply, exactly as the analyzer gave it (without its line end).
  virtual std::string Read() = 0;
  // Sends the query and returns every value of the binary block it answers
  // with; every value is a finite 32-bit float.
  virtual std::vector<float> ReadBlock(std::string_view query) = 0;
  // Ends the session. Over TCP: closes the connection and sends nothing.
  virtual void Close() = 0;
  // After Initialize, what stands between the link and the analyzer when it
  // says who it is (a GPIB controller's version), for --trace; usually "".
  virtual std::string Peer() const { return ""; }
};

}  // namespace multitone
