#include "link/text_message.h"

#include "common/run_error.h"
#include "link/block_decoder.h"
#include "link/reply_reader.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, what + ": " + problem);
}

}  // namespace

std::string TextOfMessage(std::string message, const std::string& what) {
  if (message.size() >= 2 && message[0] == '#' && message[1] >= '0' && message[1] <= '9') {
    Fail(what, "expected a text reply, got a binary block " + SampleOf(message));
  }
  if (!message.empty() && message.back() == '\n') message.pop_back();
  if (message.size() > kMaxReplyBytes) Fail(what, "reply longer than 1 MiB");
  if (message.find('\n') != std::string::npos) Fail(what, "reply holds more than one line " + SampleOf(message));
  return message;
}

}  // namespace multitone
