#include "sim/error_queue.h"

namespace multitone::sim {
namespace {

// Keeps the detail printable and short, and free of the quote that would
// end the answer's string.
std::string CleanDetail(std::string_view detail) {
  std::string out;
  for (const char c : detail) {
    if (out.size() >= ErrorQueue::kMaxDetail) {
      out += "...";
      break;
    }
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u >= 0x7f || c == '"') ? '?' : c;
  }
  return out;
}

}  // namespace

void ErrorQueue::Push(ScpiCode code, std::string_view detail) {
  if (entries_.size() >= kCapacity) {
    entries_.back() = {ScpiCode::QueueOverflow, ""};
    return;
  }
  entries_.push_back({code, CleanDetail(detail)});
}

std::string ErrorQueue::PopAnswer() {
  if (entries_.empty()) return "0,\"No error\"";
  const Entry entry = std::move(entries_.front());
  entries_.pop_front();
  std::string answer = std::to_string(static_cast<int>(entry.code)) + ",\"" +
                       std::string(ScpiText(entry.code));
  if (!entry.detail.empty()) answer += ";" + entry.detail;
  return answer + "\"";
}

std::string ErrorQueue::PopAllAnswers() {
  std::string answers = PopAnswer();
  while (!entries_.empty()) answers += "," + PopAnswer();
  return answers;
}

}  // namespace multitone::sim
