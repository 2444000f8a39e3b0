#include "link/reply_reader.h"

#include <algorithm>
#include <cstring>

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

// What one Receive may fill at least: a whole block of a 16K FFT. The room
// is never zeroed, so the pages a reply does not reach are never touched.
constexpr std::size_t kMinimumRoom = 64 * 1024;

void ReplyReader::MakeRoom(std::size_t count) {
  const std::size_t unread = Buffered();
  const std::size_t wanted = std::max(count, unread + kMinimumRoom);
  if (capacity_ - start_ >= wanted) return;
  if (capacity_ >= wanted) {
    std::memmove(bytes_.get(), bytes_.get() + start_, unread);
  } else {
    const std::size_t capacity = std::max(wanted, 2 * capacity_);
    std::unique_ptr<char[]> bytes(new char[capacity]);
    if (unread > 0) std::memcpy(bytes.get(), bytes_.get() + start_, unread);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
  }
  start_ = 0;
  end_ = unread;
}

template <typename Progress>
void ReplyReader::Require(std::size_t count, Deadline deadline, const std::string& what,
                          Progress progress) {
  while (Buffered() < count) {
    MakeRoom(count);
    std::size_t received = 0;
    try {
      received = stream_.Receive(std::span<char>(bytes_.get() + end_, capacity_ - end_), deadline);
    } catch (const RunError& error) {
      const std::string so_far = progress();
      Fail(what, so_far.empty() ? error.Description() : so_far + ": " + error.Description());
    }
    end_ += received;
  }
}

void ReplyReader::Consume(std::size_t count) {
  start_ += count;
  if (start_ == end_) start_ = end_ = 0;
}

std::string ReplyReader::ReadLine(Deadline deadline, const std::string& what) {
  std::size_t scanned = 0;
  for (;;) {
    // "#" and a digit start a binary block, never a text reply: read as text
    // it would end at some byte of its data and leave the rest behind.
    if (Buffered() >= 2 && At(0) == '#' && IsDigit(At(1))) {
      Fail(what, "expected a text reply, got a binary block " + SampleOf(Unread()));
    }
    const std::size_t end = Unread().find(terminator_, scanned);
    if (end != std::string_view::npos && end <= kMaxReplyBytes) {
      std::string line(Unread().substr(0, end));
      Consume(end + 1);
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
  Require(total, deadline, what, [this, &header, bytes] {
    const std::size_t have = Buffered() - header->header_bytes;
    return have >= bytes ? "block of " + std::to_string(bytes) + " bytes not followed by " + NameOf(terminator_)
                         : "block ended after " + std::to_string(have) + " of " + std::to_string(bytes) +
                               " bytes";
  });
  if (At(header->header_bytes + bytes) != terminator_) {
    Fail(what, "block of " + std::to_string(bytes) + " bytes not followed by " + NameOf(terminator_) + " (got " +
                   SampleOf(Unread().substr(header->header_bytes + bytes)) + ")");
  }
  std::vector<float> values = DecodeBlockData(Unread().substr(header->header_bytes, bytes), what);
  Consume(total);
  return values;
}

}  // namespace multitone
