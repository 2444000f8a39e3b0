#include "simserver/record_answerer.h"

#include <cstring>

#include "link/analyzer_link.h"

namespace multitone::simserver {
namespace {

std::string Block(const std::vector<float>& values) {
  const std::string count = std::to_string(values.size() * sizeof(float));
  std::string out = "#" + std::to_string(count.size()) + count;
  const std::size_t at = out.size();
  out.resize(at + values.size() * sizeof(float));
  if (!values.empty()) std::memcpy(out.data() + at, values.data(), values.size() * sizeof(float));
  return out + "\n";
}

std::string Failure(const RecordedError& error) {
  return "the recorded run failed here: error " + std::to_string(error.number) + ": " + error.description;
}

}  // namespace

RecordAnswerer::RecordAnswerer(std::shared_ptr<const LinkRecord> record) : record_(std::move(record)) {}

void RecordAnswerer::StartSession() {
  next_ = 0;
  pending_.clear();
}

RecordAnswerer::Answer RecordAnswerer::Input(std::string_view bytes) {
  Answer answer;
  pending_.append(bytes);
  for (auto end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    Answer one = Line(line);
    answer.reply += one.reply;
    if (one.end) {
      answer.end = true;
      answer.why = std::move(one.why);
      return answer;
    }
  }
  return answer;
}

RecordAnswerer::Answer RecordAnswerer::Line(const std::string& line) {
  const auto& operations = record_->operations;
  // The link's Initialize is the connection itself; it sends nothing.
  if (next_ < operations.size() && operations[next_].call == LinkCall::Initialize) {
    if (operations[next_].error) return {"", true, "operation 1: " + Failure(*operations[next_].error)};
    ++next_;
  }
  const std::size_t number = next_ + 1;
  const std::string at = "operation " + std::to_string(number) + ": ";
  if (next_ >= operations.size()) {
    return {"", true, at + "the record ends; received \"" + EscapeForTrace(line) + "\""};
  }
  const LinkOperation& recorded = operations[next_];
  if ((recorded.call != LinkCall::Write && recorded.call != LinkCall::ReadBlock) || recorded.text != line) {
    return {"", true,
            at + "recorded " + LinkCallName(recorded.call) + " \"" + EscapeForTrace(recorded.text) + "\", received \"" +
                EscapeForTrace(line) + "\""};
  }
  ++next_;
  if (recorded.error) return {"", true, at + Failure(*recorded.error)};
  if (recorded.call == LinkCall::ReadBlock) return {Block(recorded.block), false, ""};
  if (next_ < operations.size() && operations[next_].call == LinkCall::Read) {
    const LinkOperation& read = operations[next_++];
    if (read.error) return {"", true, "operation " + std::to_string(next_) + ": " + Failure(*read.error)};
    return {read.reply + "\n", false, ""};
  }
  return {};
}

}  // namespace multitone::simserver
