// Binary blocks over a real TCP connection: any piece boundary, LF bytes in
// the data, and every malformed or truncated shape an analyzer could send.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kQuery = "trac:load:fft_ay?";

void ExpectSameBlockBits(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(Bits(actual[i]), Bits(expected[i])) << "value " << i;
  }
}

// Serves one connection per reply in `replies`, in order: reads the block
// query, sends the reply, then (when `close` is set) closes the connection.
class BlockServer {
 public:
  BlockServer(std::vector<std::string> replies, bool close)
      : replies_(std::move(replies)),
        server_(
            [this, close](ServerConnection& c) {
              const std::size_t n = next_++;
              if (!c.ReadLine() || n >= replies_.size()) return;
              c.Send(replies_[n]);
              if (close) return;
              c.WaitForClientClose();
            },
            static_cast<int>(replies_.size())) {}

  const LoopbackServer& Server() const { return server_; }

 private:
  std::vector<std::string> replies_;
  std::atomic<std::size_t> next_{0};
  LoopbackServer server_;
};

TEST(TcpBlocks, ReadsABlockSentOneByteAtATime) {
  const std::vector<float> values = {0.1f, -3.75f, 1e-20f, 12345.678f, 0.0f};
  std::vector<float> read;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.SendInPieces(BlockBytes(values), 1);
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    read = link->ReadBlock(kQuery);
    link->Close();
  }
  ExpectSameBlockBits(read, values);
}

TEST(TcpBlocks, ReadsABlockCutIntoPiecesOfEverySize) {
  const std::vector<float> values = {1.0f, -1.0f, 0.5f};
  const std::string bytes = BlockBytes(values);
  std::atomic<std::size_t> piece = 1;
  LoopbackServer server(
      [&](ServerConnection& c) {
        if (c.ReadLine()) c.SendInPieces(bytes, piece);
        c.WaitForClientClose();
      },
      static_cast<int>(bytes.size()));
  for (; piece <= bytes.size(); ++piece) {
    SCOPED_TRACE("pieces of " + std::to_string(piece) + " bytes");
    auto link = ConnectedTo(server);
    ExpectSameBlockBits(link->ReadBlock(kQuery), values);
    link->Close();
  }
}

TEST(TcpBlocks, TakesLineFeedBytesInsideTheDataAsData) {
  const std::vector<float> values = {FromBits(0x0A0A0A0A), FromBits(0x3F800A0A), FromBits(0x0000000A),
                                     FromBits(0x0A000000)};
  std::vector<float> whole;
  std::vector<float> bytewise;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send(BlockBytes(values));
      c.ReadLine();
      c.SendInPieces(BlockBytes(values), 1);
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    whole = link->ReadBlock(kQuery);
    bytewise = link->ReadBlock(kQuery);
    link->Close();
  }
  ExpectSameBlockBits(whole, values);
  ExpectSameBlockBits(bytewise, values);
}

TEST(TcpBlocks, ReadsAReplyThatFollowsABlockInTheSameSegment) {
  std::vector<float> block;
  std::string reply;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send(BlockBytes({2.0f, 4.0f}) + " 95 dB, 96 dB\n");
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    block = link->ReadBlock(kQuery);
    reply = link->Read();
    link->Close();
  }
  ExpectSameBlockBits(block, {2.0f, 4.0f});
  EXPECT_EQ(reply, " 95 dB, 96 dB");
}

TEST(TcpBlocks, ReadsAFullSpectrum) {
  std::vector<float> values(8192);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 1e-6f * static_cast<float>(i) + 0.1f;
  std::vector<float> read;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send(BlockBytes(values));
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    read = link->ReadBlock(kQuery);
    link->Close();
  }
  ExpectSameBlockBits(read, values);
}

struct Malformed {
  const char* shape;
  std::string bytes;
  std::string message;  // what follows "block for trac:load:fft_ay?: "
};

TEST(TcpBlocks, RejectsEachMalformedShapeSayingWhatWasSeen) {
  const std::string one("\x00\x00\x80\x3f", 4);  // 1.0f
  const std::vector<Malformed> cases = {
      {"indefinite length", "#0" + one + "\n", "indefinite-length block (#0) is not accepted"},
      {"no digit count", "#x4" + one + "\n", "malformed block header \"#x4"},
      {"letter in the byte count", "#24x" + one + "\n", "malformed block header \"#24x"},
      {"count not a multiple of 4", "#16" + one + "\x00\x00\n",
       "block of 6 bytes is not a whole number of 32-bit floats"},
      {"count over 16 MiB", "#816777220" + one, "block of 16777220 bytes is over the 16 MiB limit"},
      {"bytes before the #", "OK#14" + one + "\n", "expected a binary block starting with '#', got \"OK#14"},
      {"error text instead of a block", "-113,\"Undefined header\"\n",
       "expected a binary block starting with '#', got \"-113,\\\"Undefined header\\\"\\n\""},
      {"CR LF after the data", "#14" + one + "\r\n", "block of 4 bytes not followed by a line feed (got \"\\r"},
      {"no LF after the data", "#14" + one + one + "\n",
       "block of 4 bytes not followed by a line feed (got \"\\x00\\x00\\x80?\\n\")"},
      {"NaN", "#18" + one + std::string("\x00\x00\xc0\x7f", 4) + "\n",
       "value 1 of the block is not a finite number"},
      {"infinity", "#14" + std::string("\x00\x00\x80\xff", 4) + "\n",
       "value 0 of the block is not a finite number"},
  };
  std::vector<std::string> replies;
  for (const Malformed& c : cases) replies.push_back(c.bytes);
  BlockServer server(replies, false);
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.shape);
    auto link = ConnectedTo(server.Server());
    const RunError error = CaughtRunError([&] { link->ReadBlock(kQuery); });
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), StartsWith("block for " + kQuery + ": " + c.message));
  }
}

TEST(TcpBlocks, RejectsABlockWithoutItsLineFeedWhenTheAnalyzerCloses) {
  BlockServer server({"#14" + std::string("\x00\x00\x80\x3f", 4)}, true);
  auto link = ConnectedTo(server.Server());
  EXPECT_EQ(CaughtRunError([&] { link->ReadBlock(kQuery); }).Description(),
            "block for " + kQuery +
                ": block of 4 bytes not followed by a line feed: connection closed by the analyzer");
}

TEST(TcpBlocks, FailsOnEveryTruncatedPrefixFollowedByAClose) {
  const std::string bytes = BlockBytes({0.25f, -4.0f, 1e6f});
  std::vector<std::string> prefixes;
  for (std::size_t length = 0; length < bytes.size(); ++length) prefixes.push_back(bytes.substr(0, length));
  BlockServer server(prefixes, true);
  for (const std::string& prefix : prefixes) {
    SCOPED_TRACE("first " + std::to_string(prefix.size()) + " bytes, then a close");
    auto link = ConnectedTo(server.Server());
    const RunError error = CaughtRunError([&] { link->ReadBlock(kQuery); });
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), StartsWith("block for " + kQuery + ": "));
    EXPECT_THAT(error.Description(), HasSubstr("connection closed by the analyzer"));
  }
}

}  // namespace
}  // namespace multitone::testing
