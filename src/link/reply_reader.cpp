#include "link/reply_reader.h"

#include "common/run_error.h"
#include "link/block_decoder.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, what + ": " + problem);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string NameOf(char terminator) { return terminator == '\n' ? "a line feed" : "a carriage return"; }

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
      Fail(what, "expected a text reply, got a binary block " + SampleOf(Unread()));
    }
    const std::size_t end = buffer_.find(terminator_, start_ + scanned);
    if (end != std::string::npos && end - start_ <= kMaxReplyBytes) {
      std::string line = buffer_.substr(start_, end - start_);
      Consume(end - start_ + 1);
      return line;
    }
    if (Buffered() > kMaxReplyBytes) Fail(what, "reply longer than 1 MiB without " + NameOf(terminator_));
    scanned = Buffered();
    Require(Buffered() + 1, deadline, what, [scanned] {
      return scanned == 0 ? std::string() : "reply ended after " + std::to_string(scanned) + " bytes";
    });
  }
}

std::vector<float> ReplyReader::ReadBlock(Deadline deadline, const std::string& what) {
  Require(1, deadline, what, [] { return std::string(); });
  std::optional<BlockHeader> header;
  while (!(header = ParseBlockHeader(Unread(), what))) {
    const bool only_hash = Buffered() == 1;
    Require(Buffered() + 1, deadline, what, [only_hash] {
      return std::string(only_hash ? "block header ended after \"#\"" : "block header ended early");
    });
  }
  const std::size_t bytes = header->data_bytes;
  const std::size_t total = header->header_bytes + bytes + 1;
  while (Buffered() < total) {
    const std::size_t have = Buffered() - header->header_bytes;
    Require(Buffered() + 1, deadline, what, [this, have, bytes] {
      return have >= bytes ? "block of " + std::to_string(bytes) + " bytes not followed by " + NameOf(terminator_)
                           : "block ended after " + std::to_string(have) + " of " +
                                 std::to_string(bytes) + " bytes";
    });
  }
  if (At(header->header_bytes + bytes) != terminator_) {
    Fail(what, "block of " + std::to_string(bytes) + " bytes not followed by " + NameOf(terminator_) + " (got " +
                   SampleOf(Unread().substr(header->header_bytes + bytes)) + ")");
  }
  std::vector<float> values = DecodeBlockData(Unread().substr(header->header_bytes, bytes), what);
  Consume(total);
  return values;
}

}  // namespace multitone
