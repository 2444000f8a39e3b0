#include "link/hislip_channel.h"

#include <ostream>

#include "link/block_decoder.h"

namespace multitone {

using hislip::Message;
using hislip::MessageBuffer;

HislipChannel::HislipChannel(std::unique_ptr<ByteStream> stream, std::string name, std::ostream* trace,
                             std::uint64_t max_payload)
    : stream_(std::move(stream)), name_(std::move(name)), trace_(trace), max_payload_(max_payload) {}

void HislipChannel::Note(std::string_view text) const {
  if (trace_ == nullptr) return;
  *trace_ << "~ " << name_ << ' ' << text << '\n';
  trace_->flush();
}

void HislipChannel::Trace(char direction, const Message& message) const {
  if (trace_ == nullptr) return;
  Note(std::string(1, direction) + ' ' + hislip::Describe(message));
}

void HislipChannel::Send(hislip::Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload,
                         Deadline deadline) {
  outgoing_.clear();
  hislip::AppendMessage(outgoing_, type, control, parameter, payload);
  if (trace_ != nullptr) {
    Trace('>', Message{{static_cast<std::uint8_t>(type), control, parameter, payload.size()}, payload});
  }
  try {
    stream_->Send(outgoing_, deadline);
  } catch (const RunError& error) {
    torn_ = true;
    if (deadline.Expired()) throw HislipTimeout(error.Description());
    throw;
  }
}

Message HislipChannel::Receive(Deadline deadline) {
  for (;;) {
    switch (received_.Check(max_payload_)) {
      case MessageBuffer::State::Complete: {
        const Message message = received_.Take();
        Trace('<', message);
        return message;
      }
      case MessageBuffer::State::Malformed:
        FailFatally(hislip::FatalCode::PoorlyFormedHeader,
                    "malformed HiSLIP message header " + SampleOf(received_.Held()), deadline);
      case MessageBuffer::State::TooLarge:
        FailFatally(hislip::FatalCode::Unidentified,
                    hislip::TypeName(received_.Front().type) + " of " + std::to_string(received_.Front().length) +
                        " bytes is over the " + std::to_string(max_payload_) + "-byte limit",
                    deadline);
      case MessageBuffer::State::Incomplete: break;
    }
    const std::span<char> space = received_.Space();
    try {
      received_.Received(stream_->Receive(space, deadline));
    } catch (const RunError& error) {
      if (deadline.Expired()) throw HislipTimeout(error.Description());
      throw;
    }
  }
}

void HislipChannel::FailFatally(hislip::FatalCode code, const std::string& problem, Deadline deadline) {
  // Said to the other side as the protocol asks, if the socket takes it at
  // once; the failure is reported whatever becomes of it.
  try {
    if (!torn_) {
      Send(hislip::Type::FatalError, static_cast<std::uint8_t>(code), 0,
           hislip::FatalMeaning(static_cast<std::uint8_t>(code)), deadline);
    }
  } catch (const RunError&) {
  }
  torn_ = true;
  throw RunError(ErrorNumber::AnalyzerOperationFailed, problem);
}

}  // namespace multitone
