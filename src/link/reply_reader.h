#pragma once
// Reads replies and binary blocks from a byte stream that may deliver them in
// any pieces. Bytes after a reply's LF are kept for the next read. Every
// shape that is not a well-formed reply fails with RunError 440 and a
// sentence that says what was seen; nothing malformed passes as data.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/block_decoder.h"
#include "link/byte_stream.h"

namespace multitone {

constexpr std::size_t kMaxReplyBytes = std::size_t{1} << 20;  // a line: 1 MiB

class ReplyReader {
 public:
  // `terminator` ends every reply and block: LF, or CR on a serial line set
  // so.
  explicit ReplyReader(ByteStream& stream, char terminator = '\n')
      : stream_(stream), terminator_(terminator) {}

  // The bytes up to the first terminator, without it; nothing else is trimmed. A
  // reply that starts as a binary block ("#" and a digit) is a failure.
  // `what` names the reply in error messages ("reply to sens3:data?").
  std::string ReadLine(Deadline deadline, const std::string& what);

  // An IEEE 488.2 definite-length block (link/block_decoder.h) followed by
  // one terminator. Read by its count, so data bytes equal to the
  // terminator are data.
  std::vector<float> ReadBlock(Deadline deadline, const std::string& what);

  // Unread bytes held (for tests).
  std::size_t Buffered() const { return end_ - start_; }

 private:
  // Makes at least `count` unread bytes available; `progress()` describes,
  // only when the stream fails, what had arrived so far ("" for nothing).
  template <typename Progress>
  void Require(std::size_t count, Deadline deadline, const std::string& what, Progress progress);
  // Room for `count` unread bytes, and at least kMinimumRoom free behind them.
  void MakeRoom(std::size_t count);
  void Consume(std::size_t count);
  char At(std::size_t offset) const { return bytes_[start_ + offset]; }
  std::string_view Unread() const { return std::string_view(bytes_.get() + start_, Buffered()); }

  ByteStream& stream_;
  char terminator_;
  // The stream receives straight into bytes_, never zeroed, so a run touches
  // only the memory its replies fill: [start_, end_) is received and unread.
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

}  // namespace multitone
