#pragma once
// One of the two TCP connections of a HiSLIP session (the synchronous or the
// asynchronous channel): whole messages out, each in one send, and whole
// messages in, every wait bounded by the operation's deadline. With --trace
// every message is shown as it crosses: "~ sync > DataEND message
// 0xFFFFFF00, 19 bytes", "~ async < AsyncLockResponse success".
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "common/run_error.h"
#include "link/byte_stream.h"
#include "link/hislip_message.h"

namespace multitone {

// A wait that ran out: RunError 440 like every other failure of the link,
// told apart so that the session can clear the analyzer before it reports.
class HislipTimeout : public RunError {
 public:
  explicit HislipTimeout(std::string description)
      : RunError(ErrorNumber::AnalyzerOperationFailed, std::move(description)) {}
};

class HislipChannel {
 public:
  // `name` ("sync", "async") marks the channel's trace lines; messages with
  // a payload over `max_payload` are refused.
  HislipChannel(std::unique_ptr<ByteStream> stream, std::string name, std::ostream* trace, std::uint64_t max_payload);

  // Sends one message in one piece. A send that fails leaves the channel
  // torn (part of a message may have left); a wait that ran out throws
  // HislipTimeout, any other failure RunError 440 with a short reason.
  void Send(hislip::Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload,
            Deadline deadline);
  // The next whole message; its payload is valid until the next Receive. A
  // message cut short stays buffered when the wait runs out (HislipTimeout),
  // so a later Receive completes it. A header that does not start with "HS",
  // or a payload over the limit, is answered with FatalError and fails.
  hislip::Message Receive(Deadline deadline);

  // True once a send failed: the other side may hold part of a message.
  bool Torn() const { return torn_; }
  // Shows one line on the trace, as the channel's own lines are shown.
  void Note(std::string_view text) const;

 private:
  void Trace(char direction, const hislip::Message& message) const;
  [[noreturn]] void FailFatally(hislip::FatalCode code, const std::string& problem, Deadline deadline);

  std::unique_ptr<ByteStream> stream_;
  std::string name_;
  std::ostream* trace_;
  std::uint64_t max_payload_;
  hislip::MessageBuffer received_;
  std::string outgoing_;
  bool torn_ = false;
};

}  // namespace multitone
