#include "link/reply_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/run_error.h"
#include "link/analyzer_link.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, what + ": " + problem);
}

// A few bytes of what arrived, for a person to read in the error report.
std::string Sample(const std::string& bytes, std::size_t from) {
  constexpr std::size_t kShown = 24;
  const std::size_t length = std::min(kShown, bytes.size() - from);
  std::string shown = "\"";
  for (const char c : EscapeForTrace(std::string_view(bytes).substr(from, length))) {
    if (c == '"') shown += '\\';
    shown += c;
  }
  shown += '"';
  if (bytes.size() - from > kShown) shown += "...";
  return shown;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

float LittleEndianFloat(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                             static_cast<std::uint32_t>(b[2]) << 16 |
                             static_cast<std::uint32_t>(b[3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

template <typename Progress>
void ReplyReader::Require(std::size_t count, Deadline deadline, const std::string& what,
                          Progress progress) {
  while (Buffered() < count) {
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    std::size_t received = 0;
    try {
      received = stream_.Receive(chunk_, deadline);
    } catch (const RunError& error) {
      const std::string so_far = progress();
      Fail(what, so_far.empty() ? error.Description() : so_far + ": " + error.Description());
    }
    buffer_.append(chunk_.data(), received);
  }
}

void ReplyReader::Consume(std::size_t count) {
  start_ += count;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
}

std::string ReplyReader::ReadLine(Deadline deadline, const std::string& what) {
  std::size_t scanned = 0;
  for (;;) {
    // "#" and a digit start a binary block, never a text reply: read as text
    // it would end at some byte of its data and leave the rest behind.
    if (Buffered() >= 2 && At(0) == '#' && IsDigit(At(1))) {
      Fail(what, "expected a text reply, got a binary block " + Sample(buffer_, start_));
    }
    const std::size_t end = buffer_.find('\n', start_ + scanned);
    if (end != std::string::npos && end - start_ <= kMaxReplyBytes) {
      std::string line = buffer_.substr(start_, end - start_);
      Consume(end - start_ + 1);
      return line;
    }
    if (Buffered() > kMaxReplyBytes) Fail(what, "reply longer than 1 MiB without a line feed");
    scanned = Buffered();
    Require(Buffered() + 1, deadline, what, [scanned] {
      return scanned == 0 ? std::string() : "reply ended after " + std::to_string(scanned) + " bytes";
    });
  }
}

std::vector<float> ReplyReader::ReadBlock(Deadline deadline, const std::string& what) {
  Require(1, deadline, what, [] { return std::string(); });
  if (At(0) != '#') {
    Fail(what, "expected a binary block starting with '#', got " + Sample(buffer_, start_));
  }
  Require(2, deadline, what, [] { return std::string("block header ended after \"#\""); });
  const char size_digit = At(1);
  if (size_digit == '0') Fail(what, "indefinite-length block (#0) is not accepted");
  if (size_digit < '1' || size_digit > '9') {
    Fail(what, "malformed block header " + Sample(buffer_, start_));
  }
  const std::size_t digits = static_cast<std::size_t>(size_digit - '0');
  Require(2 + digits, deadline, what, [] { return std::string("block header ended early"); });
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const char c = At(2 + i);
    if (!IsDigit(c)) Fail(what, "malformed block header " + Sample(buffer_, start_));
    bytes = bytes * 10 + static_cast<std::size_t>(c - '0');
  }
  if (bytes > kMaxBlockBytes) {
    Fail(what, "block of " + std::to_string(bytes) + " bytes is over the 16 MiB limit");
  }
  if (bytes % 4 != 0) {
    Fail(what, "block of " + std::to_string(bytes) + " bytes is not a whole number of 32-bit floats");
  }
  const std::size_t header = 2 + digits;
  const std::size_t total = header + bytes + 1;
  while (Buffered() < total) {
    const std::size_t have = Buffered() - header;
    Require(Buffered() + 1, deadline, what, [have, bytes] {
      return have >= bytes ? "block of " + std::to_string(bytes) + " bytes not followed by a line feed"
                           : "block ended after " + std::to_string(have) + " of " +
                                 std::to_string(bytes) + " bytes";
    });
  }
  if (At(header + bytes) != '\n') {
    Fail(what, "block of " + std::to_string(bytes) + " bytes not followed by a line feed (got " +
                   Sample(buffer_, start_ + header + bytes) + ")");
  }
  std::vector<float> values(bytes / 4);
  const char* data = buffer_.data() + start_ + header;
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = LittleEndianFloat(data + 4 * i);
    if (!std::isfinite(values[i])) {
      Fail(what, "value " + std::to_string(i) + " of the block is not a finite number");
    }
  }
  Consume(total);
  return values;
}

}  // namespace multitone
