// Fuzz target: the reply and block reader on arbitrary bytes, delivered in
// arbitrary pieces, read as lines and blocks in any order.
//
// Input layout (a field the input is too short for takes its default):
//   byte 0       bits 0-3: reads - 1 (1..16); bits 4-6: piece sizes - 1 (1..8);
//                bit 7: a run of one repeated byte is put into the stream
//   reads bytes  one per read, in order: even = ReadLine, odd = ReadBlock
//                (default: a line)
//   sizes bytes  piece sizes, taken in turn by successive Receive calls
//                (default: 1 byte)
//   3 bytes      with bit 7 only: run length (kRunLengths), run byte, and where
//                the run goes (a fraction of the stream bytes, in 256ths)
//   the rest     the bytes the analyzer sends; after them (and the run) every
//                Receive fails like a connection the analyzer closed.
// A piece that starts inside the run is 4096 times its size (4 KiB to 512 KiB
// for the small sizes), so that a 1 MiB line or a 16 MiB block takes a few
// hundred Receive calls rather than millions; the run's edges still fall
// inside pieces of any size.
//
// Every read up to the first failure is checked against a model of the wire
// protocol written here: a read the model accepts must return exactly the
// model's line or values and leave the reader holding exactly the bytes
// received but not yet read; a read the model refuses must throw RunError 440.
// The reads then go on after a failure (the reader must stay sound whatever it
// holds), checked for what holds of any read: only RunError 440 escapes, a
// line has no LF, at most 1 MiB and does not start with "#" and a digit, a
// block's values are finite and at most 16 MiB. Memory stays bounded: the
// stream is never asked for an empty piece and the reader never holds more
// than it received. Each Receive of a read is given that read's deadline (one
// deadline per operation).
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_error.h"
#include "fuzz_check.h"
#include "link/byte_stream.h"
#include "link/reply_reader.h"

namespace multitone::fuzz {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Run lengths worth having without a multi-megabyte input: around the piece
// buffer, the 1 MiB line limit and the 16 MiB block limit.
constexpr std::array<std::size_t, 16> kRunLengths = {
    1, 3, 4, 5, 255, 4096, 65535, 65536, 65537,
    kMaxReplyBytes - 1, kMaxReplyBytes, kMaxReplyBytes + 1, 4 * kMaxReplyBytes,
    kMaxBlockBytes - 4, kMaxBlockBytes, kMaxBlockBytes + 4};

// Piece sizes: selector 0-127 gives 1-128 bytes, the others one of these.
constexpr std::array<std::size_t, 13> kLargePieces = {
    129, 255, 256, 1000, 4095, 4096, 4097, 65535, 65536, 65537, 1 << 20, 1 << 22, kNone};

std::size_t PieceSize(std::uint8_t selector) {
  return selector < 128 ? std::size_t{selector} + 1 : kLargePieces[(selector - 128) % kLargePieces.size()];
}

// The bytes the analyzer sends: `before`, then `run_length` copies of
// `run_byte`, then `after`, without holding the run in memory.
class StreamBytes {
 public:
  StreamBytes(std::string_view before, std::size_t run_length, char run_byte, std::string_view after)
      : before_(before), run_length_(run_length), run_byte_(run_byte), after_(after) {}

  std::size_t Size() const { return before_.size() + run_length_ + after_.size(); }

  bool InRun(std::size_t i) const { return i >= before_.size() && i - before_.size() < run_length_; }

  char At(std::size_t i) const {
    if (i < before_.size()) return before_[i];
    i -= before_.size();
    if (i < run_length_) return run_byte_;
    return after_[i - run_length_];
  }

  // The first index in [from, to) that holds `byte`, or kNone.
  std::size_t Find(char byte, std::size_t from, std::size_t to) const {
    to = std::min(to, Size());
    for (std::size_t i = from; i < to;) {
      if (i < before_.size()) {
        const std::size_t end = std::min(to, before_.size());
        const std::size_t at = before_.substr(0, end).find(byte, i);
        if (at != std::string_view::npos) return at;
        i = end;
      } else if (i < before_.size() + run_length_) {
        if (run_byte_ == byte) return i;
        i = before_.size() + run_length_;
      } else {
        const std::size_t base = before_.size() + run_length_;
        const std::size_t at = after_.substr(0, to - base).find(byte, i - base);
        return at == std::string_view::npos ? kNone : base + at;
      }
    }
    return kNone;
  }

  // Copies bytes from `from` on into `out`; returns how many (all of `out`
  // unless the bytes end first).
  std::size_t Copy(std::size_t from, std::span<char> out) const {
    const std::size_t count = std::min(out.size(), Size() - from);
    std::size_t done = 0;
    while (done < count) {
      const std::size_t i = from + done;
      std::size_t n = count - done;
      if (i < before_.size()) {
        n = std::min(n, before_.size() - i);
        std::memcpy(out.data() + done, before_.data() + i, n);
      } else if (i < before_.size() + run_length_) {
        n = std::min(n, before_.size() + run_length_ - i);
        std::memset(out.data() + done, run_byte_, n);
      } else {
        std::memcpy(out.data() + done, after_.data() + (i - before_.size() - run_length_), n);
      }
      done += n;
    }
    return count;
  }

  bool Matches(std::size_t from, std::string_view text) const {
    if (from + text.size() > Size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (At(from + k) != text[k]) return false;
    }
    return true;
  }

 private:
  std::string_view before_;
  std::size_t run_length_;
  char run_byte_;
  std::string_view after_;
};

// A stream that hands out the bytes in the pieces the input chose, then fails
// as a closed connection does.
class FuzzStream : public ByteStream {
 public:
  FuzzStream(const StreamBytes& bytes, std::vector<std::size_t> pieces)
      : bytes_(bytes), pieces_(std::move(pieces)) {}

  void Send(std::string_view, Deadline) override {
    FUZZ_EXPECT(false, "the reader sent something");
  }

  std::size_t Receive(std::span<char> buffer, Deadline deadline) override {
    FUZZ_EXPECT(!buffer.empty(), "Receive was asked for 0 bytes");
    FUZZ_EXPECT(deadline.At() == deadline_, "a Receive with another deadline than its read's");
    if (delivered_ == bytes_.Size()) {
      throw RunError(ErrorNumber::AnalyzerOperationFailed, "connection closed by the analyzer");
    }
    std::size_t piece = pieces_[next_piece_++ % pieces_.size()];
    if (bytes_.InRun(delivered_) && piece <= kLargePieces.back() / 4096) piece *= 4096;
    const std::size_t count = bytes_.Copy(delivered_, buffer.first(std::min(piece, buffer.size())));
    delivered_ += count;
    return count;
  }

  std::size_t Delivered() const { return delivered_; }
  // The deadline of the read in progress, which each of its Receive calls
  // must be given.
  void ExpectDeadline(Deadline::Clock::time_point at) { deadline_ = at; }

 private:
  const StreamBytes& bytes_;
  std::vector<std::size_t> pieces_;
  std::size_t next_piece_ = 0;
  std::size_t delivered_ = 0;
  Deadline::Clock::time_point deadline_;
};

// What the protocol says a line read at `from` gives: the length of the line,
// or kNone when the read must fail: no LF within 1 MiB before the bytes end,
// or "#" and a digit first (a binary block where a text reply is due).
std::size_t ExpectedLineLength(const StreamBytes& bytes, std::size_t from) {
  if (from + 1 < bytes.Size() && bytes.At(from) == '#' && bytes.At(from + 1) >= '0' &&
      bytes.At(from + 1) <= '9') {
    return kNone;
  }
  const std::size_t lf = bytes.Find('\n', from, from + kMaxReplyBytes + 1);
  return lf == kNone ? kNone : lf - from;
}

struct ExpectedBlock {
  bool ok = false;
  std::size_t data_at = 0;   // index of the first data byte
  std::size_t count = 0;     // values
  std::size_t length = 0;    // header, data and LF
};

static_assert(std::endian::native == std::endian::little,
              "the model reads the block's little-endian floats as they lie");

// Calls visit(values, count) on the `count` floats from `at` on, a chunk at a
// time; stops when visit returns false. Returns whether all were visited.
template <typename Visit>
bool ForEachFloats(const StreamBytes& bytes, std::size_t at, std::size_t count, Visit visit) {
  constexpr std::size_t kChunk = 4096;
  float values[kChunk];
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kChunk, count - done);
    bytes.Copy(at + 4 * done, std::span<char>(reinterpret_cast<char*>(values), 4 * n));
    if (!visit(values, done, n)) return false;
    done += n;
  }
  return true;
}

// What the protocol says a block read at `from` gives.
ExpectedBlock ExpectedBlockAt(const StreamBytes& bytes, std::size_t from) {
  const auto byte = [&](std::size_t offset) -> int {
    return from + offset < bytes.Size() ? static_cast<unsigned char>(bytes.At(from + offset)) : -1;
  };
  ExpectedBlock block;
  if (byte(0) != '#') return block;
  const int digits = byte(1) - '0';
  if (digits < 1 || digits > 9) return block;
  std::size_t length = 0;
  for (int k = 0; k < digits; ++k) {
    const int c = byte(2 + static_cast<std::size_t>(k));
    if (c < '0' || c > '9') return block;
    length = length * 10 + static_cast<std::size_t>(c - '0');
  }
  if (length > kMaxBlockBytes || length % 4 != 0) return block;
  const std::size_t data = 2 + static_cast<std::size_t>(digits);
  if (byte(data + length) != '\n') return block;
  const bool finite = ForEachFloats(bytes, from + data, length / 4,
                                    [](const float* values, std::size_t, std::size_t n) {
                                      return std::all_of(values, values + n,
                                                         [](float v) { return std::isfinite(v); });
                                    });
  if (!finite) return block;
  block.ok = true;
  block.data_at = from + data;
  block.count = length / 4;
  block.length = data + length + 1;
  return block;
}

const std::string kLineWhat = "reply to fuzz?";
const std::string kBlockWhat = "block for fuzz?";

void ExpectReaderFailure(const RunError& error, const std::string& what) {
  FUZZ_EXPECT(error.Number() == ErrorNumber::AnalyzerOperationFailed,
              "error " + std::to_string(static_cast<int>(error.Number())) + ": " + error.Description());
  FUZZ_EXPECT(error.Description().starts_with(what + ": "), "description: " + error.Description());
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte(std::uint8_t fallback) { return at_ < size_ ? data_[at_++] : fallback; }
  std::string_view Rest() const {
    return at_ < size_ ? std::string_view(reinterpret_cast<const char*>(data_ + at_), size_ - at_)
                       : std::string_view();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace
}  // namespace multitone::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace multitone;
  using namespace multitone::fuzz;

  Input input(data, size);
  const std::uint8_t head = input.Byte(0);
  std::vector<bool> block_reads(std::size_t{1} + (head & 0x0f));
  std::vector<std::size_t> pieces(std::size_t{1} + ((head >> 4) & 0x07));
  for (std::size_t k = 0; k < block_reads.size(); ++k) block_reads[k] = (input.Byte(0) & 1) != 0;
  for (std::size_t& piece : pieces) piece = PieceSize(input.Byte(0));
  std::size_t run_length = 0;
  char run_byte = 0;
  std::size_t run_at = 0;
  if ((head & 0x80) != 0) {
    run_length = kRunLengths[input.Byte(0) % kRunLengths.size()];
    run_byte = static_cast<char>(input.Byte(0));
    run_at = input.Byte(0);
  }
  const std::string_view sent = input.Rest();
  run_at = sent.size() * run_at / 256;
  const StreamBytes bytes(sent.substr(0, run_at), run_length, run_byte, sent.substr(run_at));

  FuzzStream stream(bytes, pieces);
  ReplyReader reader(stream);
  const Deadline::Clock::time_point later = Deadline::Clock::now() + std::chrono::hours(1);
  bool modelled = true;     // no read has failed yet: the model knows the reader's position
  std::size_t position = 0; // bytes read so far, per the model

  for (std::size_t read = 0; read < block_reads.size(); ++read) try {
    const Deadline deadline(later + std::chrono::milliseconds(read));
    stream.ExpectDeadline(deadline.At());
    if (!block_reads[read]) {
      const std::size_t expected = modelled ? ExpectedLineLength(bytes, position) : kNone;
      try {
        const std::string line = reader.ReadLine(deadline, kLineWhat);
        FUZZ_EXPECT(line.find('\n') == std::string::npos, "a line holds an LF");
        FUZZ_EXPECT(line.size() <= kMaxReplyBytes, "a line of " + std::to_string(line.size()) + " bytes");
        FUZZ_EXPECT(line.size() < 2 || line[0] != '#' || line[1] < '0' || line[1] > '9',
                    "a binary block header read as a line");
        if (modelled) {
          FUZZ_EXPECT(expected != kNone, "a line was returned where the read must fail");
          FUZZ_EXPECT(line.size() == expected, "line of " + std::to_string(line.size()) +
                                                   " bytes, expected " + std::to_string(expected));
          FUZZ_EXPECT(bytes.Matches(position, line), "the line differs from the bytes sent");
          position += line.size() + 1;
        }
      } catch (const RunError& error) {
        ExpectReaderFailure(error, kLineWhat);
        FUZZ_EXPECT(!modelled || expected == kNone,
                    "a line of " + std::to_string(expected) + " bytes failed: " + error.Description());
        modelled = false;
      }
    } else {
      const ExpectedBlock expected = modelled ? ExpectedBlockAt(bytes, position) : ExpectedBlock{};
      try {
        const std::vector<float> values = reader.ReadBlock(deadline, kBlockWhat);
        FUZZ_EXPECT(values.size() <= kMaxBlockBytes / 4, "a block of " + std::to_string(values.size()) + " values");
        for (const float value : values) FUZZ_EXPECT(std::isfinite(value), "a block holds a non-finite value");
        if (modelled) {
          FUZZ_EXPECT(expected.ok, "a block was returned where the read must fail");
          FUZZ_EXPECT(values.size() == expected.count, "block of " + std::to_string(values.size()) +
                                                           " values, the header says " +
                                                           std::to_string(expected.count));
          ForEachFloats(bytes, expected.data_at, values.size(),
                        [&](const float* sent_values, std::size_t first, std::size_t n) {
                          FUZZ_EXPECT(std::memcmp(values.data() + first, sent_values, 4 * n) == 0,
                                      "values from " + std::to_string(first) + " differ from the bytes sent");
                          return true;
                        });
          position += expected.length;
        }
      } catch (const RunError& error) {
        ExpectReaderFailure(error, kBlockWhat);
        FUZZ_EXPECT(!modelled || !expected.ok, "a well-formed block failed: " + error.Description());
        modelled = false;
      }
    }
    FUZZ_EXPECT(reader.Buffered() <= stream.Delivered(), "the reader holds more than it received");
    if (modelled) {
      FUZZ_EXPECT(reader.Buffered() == stream.Delivered() - position,
                  "the reader holds " + std::to_string(reader.Buffered()) + " unread bytes, expected " +
                      std::to_string(stream.Delivered() - position));
    }
  } catch (const std::exception& other) {
    FUZZ_EXPECT(false, std::string("an exception other than RunError: ") + other.what());
  }
  return 0;
}
