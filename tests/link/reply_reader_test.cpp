// The reply and block reader on an in-memory stream: every piece boundary,
// every truncation and every malformed shape, with no socket involved.
#include "link/reply_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "link_test_helpers.h"
#include "support/loopback_server.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kLine = "reply to sens3:data?";
const std::string kBlock = "block for trac:load:fft_ay?";

Deadline Soon() { return Deadline::After(std::chrono::seconds(5)); }

std::string ReadOneLine(std::vector<std::string> pieces) {
  PieceStream stream(std::move(pieces));
  ReplyReader reader(stream);
  return reader.ReadLine(Soon(), kLine);
}

std::vector<float> ReadOneBlock(std::vector<std::string> pieces) {
  PieceStream stream(std::move(pieces));
  ReplyReader reader(stream);
  return reader.ReadBlock(Soon(), kBlock);
}

RunError LineError(std::vector<std::string> pieces) {
  return CaughtRunError([&] { ReadOneLine(std::move(pieces)); });
}

RunError BlockError(std::vector<std::string> pieces) {
  return CaughtRunError([&] { ReadOneBlock(std::move(pieces)); });
}

void ExpectSameBits(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(Bits(actual[i]), Bits(expected[i])) << "value " << i;
  }
}

// ---- Replies -------------------------------------------------------------

TEST(ReplyReaderLine, ReturnsTheBytesBeforeTheLineFeed) {
  EXPECT_EQ(ReadOneLine({"1000.25\n"}), "1000.25");
}

TEST(ReplyReaderLine, ReadsAReplySplitAtEveryByte) {
  const std::string reply = "SENS:UNIT V;FLAT\n";
  for (std::size_t at = 0; at <= reply.size(); ++at) {
    SCOPED_TRACE("split at " + std::to_string(at));
    EXPECT_EQ(ReadOneLine(SplitAt(reply, at)), "SENS:UNIT V;FLAT");
  }
  EXPECT_EQ(ReadOneLine(InPieces(reply, 1)), "SENS:UNIT V;FLAT");
}

TEST(ReplyReaderLine, KeepsBytesAfterTheLineFeedForTheNextRead) {
  PieceStream stream({"V\nFLAT\nS1", "6K\n"});
  ReplyReader reader(stream);
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "V");
  EXPECT_EQ(reader.Buffered(), 7u);
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "FLAT");
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "S16K");
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(ReplyReaderLine, TrimsNothingButTheLineFeed) {
  EXPECT_EQ(ReadOneLine({" FLAT \r\n"}), " FLAT \r");
  EXPECT_EQ(ReadOneLine({"\t1.5\x01\xff\n"}), "\t1.5\x01\xff");
}

TEST(ReplyReaderLine, ReturnsAnEmptyReplyForALoneLineFeed) {
  PieceStream stream({"\n\n"});
  ReplyReader reader(stream);
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "");
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "");
}

TEST(ReplyReaderLine, AcceptsAReplyOfExactlyOneMebibyte) {
  const std::string text(kMaxReplyBytes, 'a');
  EXPECT_EQ(ReadOneLine({text + "\n"}), text);
}

TEST(ReplyReaderLine, ReadsAOneMebibyteReplyArrivingOneByteAtATime) {
  const std::string text(kMaxReplyBytes, 'a');
  EXPECT_EQ(ReadOneLine(InPieces(text + "\n", 1)), text);
}

TEST(ReplyReaderLine, RejectsAReplyOverOneMebibyte) {
  const std::string text(kMaxReplyBytes + 1, 'a');
  for (const auto& pieces : {std::vector<std::string>{text}, std::vector<std::string>{text + "\n"},
                             InPieces(text + "\n", 4096)}) {
    const RunError error = LineError(pieces);
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_EQ(error.Description(), kLine + ": reply longer than 1 MiB without a line feed");
  }
}

TEST(ReplyReaderLine, RejectsABinaryBlockWhereATextReplyIsDue) {
  const std::string block = BlockBytes({0.5f, 1.0f, 10.0f, 0.25f});
  for (const auto& pieces : {std::vector<std::string>{block}, InPieces(block, 1)}) {
    const RunError error = LineError(pieces);
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), StartsWith(kLine + ": expected a text reply, got a binary block \"#2"));
  }
  // "#" without a digit after it is text like any other.
  EXPECT_EQ(ReadOneLine({"#H1F\n"}), "#H1F");
  EXPECT_EQ(ReadOneLine({"#", "\n"}), "#");
}

TEST(ReplyReaderLine, SaysHowMuchHadArrivedWhenTheStreamEnds) {
  EXPECT_EQ(LineError({}).Description(), kLine + ": connection closed by the analyzer");
  EXPECT_EQ(LineError({"10", "00"}).Description(),
            kLine + ": reply ended after 4 bytes: connection closed by the analyzer");
  PieceStream stalled({"10"}, nullptr, "the reply did not complete within the 300 ms timeout");
  ReplyReader reader(stalled);
  const RunError error = CaughtRunError([&] { reader.ReadLine(Soon(), kLine); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(),
            kLine + ": reply ended after 2 bytes: the reply did not complete within the 300 ms timeout");
}

TEST(ReplyReaderLine, WaitsForEveryPieceUntilTheOneDeadlineOfTheOperation) {
  auto log = std::make_shared<StreamLog>();
  PieceStream stream(InPieces("1000\n", 1), log);
  ReplyReader reader(stream);
  const Deadline deadline = Soon();
  EXPECT_EQ(reader.ReadLine(deadline, kLine), "1000");
  ASSERT_EQ(log->receive_deadlines.size(), 5u);
  for (const auto at : log->receive_deadlines) EXPECT_EQ(at, deadline.At());
}

// ---- Blocks --------------------------------------------------------------

TEST(ReplyReaderBlock, ReadsLittleEndianFloats) {
  const std::vector<float> values = {1.0f, -2.5f, 0.1f, 0.0f, -0.0f, 1e-45f, 3.4028235e38f};
  const std::string bytes = BlockBytes(values);
  ASSERT_EQ(bytes.substr(0, 4), "#228");
  EXPECT_EQ(bytes.substr(4, 4), std::string("\x00\x00\x80\x3f", 4));  // 1.0f, low byte first
  ExpectSameBits(ReadOneBlock({bytes}), values);
}

TEST(ReplyReaderBlock, ReadsABlockSplitAtEveryByte) {
  const std::vector<float> values = {0.5f, -1.25f, 1e-3f, 7.0f};
  const std::string bytes = BlockBytes(values);
  for (std::size_t at = 0; at <= bytes.size(); ++at) {
    SCOPED_TRACE("split at " + std::to_string(at));
    ExpectSameBits(ReadOneBlock(SplitAt(bytes, at)), values);
  }
  ExpectSameBits(ReadOneBlock(InPieces(bytes, 1)), values);
  ExpectSameBits(ReadOneBlock(InPieces(bytes, 3)), values);
}

TEST(ReplyReaderBlock, TakesLineFeedBytesInsideTheDataAsData) {
  const std::vector<float> values = {FromBits(0x0A0A0A0A), FromBits(0x3F800A0A), FromBits(0x0000000A),
                                     FromBits(0x0A000000)};
  const std::string bytes = BlockBytes(values);
  ASSERT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 9);
  ExpectSameBits(ReadOneBlock({bytes}), values);
  ExpectSameBits(ReadOneBlock(InPieces(bytes, 1)), values);
}

TEST(ReplyReaderBlock, KeepsBytesAfterTheBlockForTheNextRead) {
  PieceStream stream({BlockBytes({2.0f}) + "OK\n" + BlockBytes({3.0f})});
  ReplyReader reader(stream);
  ExpectSameBits(reader.ReadBlock(Soon(), kBlock), {2.0f});
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "OK");
  ExpectSameBits(reader.ReadBlock(Soon(), kBlock), {3.0f});
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(ReplyReaderBlock, AcceptsAByteCountWithLeadingZeros) {
  ExpectSameBits(ReadOneBlock({std::string("#800000004\x00\x00\x80\x3f\n", 15)}), {1.0f});
}

TEST(ReplyReaderBlock, ReadsAnEmptyBlockAsNoValues) {
  // "#10" is a well-formed definite-length block; what the caller makes of
  // no values is its own rule.
  PieceStream stream({"#10\nOK\n"});
  ReplyReader reader(stream);
  EXPECT_TRUE(reader.ReadBlock(Soon(), kBlock).empty());
  EXPECT_EQ(reader.ReadLine(Soon(), kLine), "OK");
}

TEST(ReplyReaderBlock, AcceptsABlockOfExactlySixteenMebibytes) {
  const std::string bytes = "#8" + std::to_string(kMaxBlockBytes) + std::string(kMaxBlockBytes, '\0') + "\n";
  const std::vector<float> values = ReadOneBlock({bytes});
  EXPECT_EQ(values.size(), kMaxBlockBytes / 4);
}

struct MalformedBlock {
  const char* shape;
  std::string bytes;
  std::string message;  // what follows "block for trac:load:fft_ay?: "
};

TEST(ReplyReaderBlock, RejectsEveryMalformedShapeSayingWhatWasSeen) {
  const std::string one = std::string("\x00\x00\x80\x3f", 4);  // 1.0f
  const std::string nan = std::string("\x00\x00\xc0\x7f", 4);
  const std::string inf = std::string("\x00\x00\x80\x7f", 4);
  const std::string minus_inf = std::string("\x00\x00\x80\xff", 4);
  const std::string signalling_nan = std::string("\x01\x00\x80\x7f", 4);
  const std::vector<MalformedBlock> cases = {
      {"indefinite length", "#0" + one + one + "\n", "indefinite-length block (#0) is not accepted"},
      {"letter for the digit count", "#A8" + one + one + "\n",
       "malformed block header \"#A8\\x00\\x00\\x80?\\x00\\x00\\x80?\\n\""},
      {"letter in the byte count", "#2x8" + one + one + "\n", "malformed block header \"#2x8"},
      {"blank in the byte count", "#3 08" + one + one + "\n", "malformed block header \"#3 08"},
      {"sign in the byte count", "#2+4" + one + "\n", "malformed block header \"#2+4"},
      {"count not a multiple of 4", "#13abc\n",
       "block of 3 bytes is not a whole number of 32-bit floats"},
      {"count just over 16 MiB", "#816777220" + one,
       "block of 16777220 bytes is over the 16 MiB limit"},
      {"largest count the header can hold", "#9999999999" + one,
       "block of 999999999 bytes is over the 16 MiB limit"},
      {"blank before the #", " #14" + one + "\n", "expected a binary block starting with '#', got \" #14"},
      {"line feed before the #", "\n#14" + one + "\n", "expected a binary block starting with '#', got \"\\n#14"},
      {"text reply instead of a block", "0.000123\n",
       "expected a binary block starting with '#', got \"0.000123\\n\""},
      {"long text reply", std::string(100, 'x') + "\n",
       "expected a binary block starting with '#', got \"xxxxxxxxxxxxxxxxxxxxxxxx\"..."},
      {"carriage return before the final line feed", "#14" + one + "\r\n",
       "block of 4 bytes not followed by a line feed (got \"\\r\\n\")"},
      {"too many bytes", "#14" + one + one + "\n",
       "block of 4 bytes not followed by a line feed (got \"\\x00\\x00\\x80?\\n\")"},
      {"quiet NaN", "#212" + one + nan + one + "\n", "value 1 of the block is not a finite number"},
      {"signalling NaN", "#14" + signalling_nan + "\n", "value 0 of the block is not a finite number"},
      {"infinity", "#18" + one + inf + "\n", "value 1 of the block is not a finite number"},
      {"minus infinity", "#18" + minus_inf + one + "\n", "value 0 of the block is not a finite number"},
  };
  for (const MalformedBlock& c : cases) {
    SCOPED_TRACE(c.shape);
    const RunError error = BlockError({c.bytes});
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), StartsWith(kBlock + ": " + c.message));
    // One byte at a time the verdict is the same; the quoted sample of what
    // arrived may be shorter.
    const RunError bytewise = BlockError(InPieces(c.bytes, 1));
    EXPECT_EQ(bytewise.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(bytewise.Description(), StartsWith(kBlock + ": " + c.message.substr(0, c.message.find('"'))));
  }
}

TEST(ReplyReaderBlock, RejectsAnOversizedBlockBeforeReadingItsData) {
  // Only the header arrives; the reader must not wait for 17 MiB of data.
  const RunError error = BlockError({"#817825792"});
  EXPECT_EQ(error.Description(), kBlock + ": block of 17825792 bytes is over the 16 MiB limit");
}

TEST(ReplyReaderBlock, FailsOnEveryTruncatedPrefix) {
  const std::string bytes = BlockBytes({0.25f, -4.0f, 1e6f});
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    SCOPED_TRACE("first " + std::to_string(length) + " bytes");
    const RunError error = BlockError({bytes.substr(0, length)});
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), StartsWith(kBlock + ": "));
    EXPECT_THAT(error.Description(), HasSubstr("connection closed by the analyzer"));
  }
}

TEST(ReplyReaderBlock, SaysHowFarATruncatedBlockGot) {
  const std::string bytes = BlockBytes(std::vector<float>(8192, 1.0f));
  ASSERT_EQ(bytes.substr(0, 7), "#532768");
  const auto ended_after = [&](std::size_t length) {
    return BlockError({bytes.substr(0, length)}).Description();
  };
  const std::string closed = ": connection closed by the analyzer";
  EXPECT_EQ(ended_after(0), kBlock + closed);
  EXPECT_EQ(ended_after(1), kBlock + ": block header ended after \"#\"" + closed);
  EXPECT_EQ(ended_after(4), kBlock + ": block header ended early" + closed);
  EXPECT_EQ(ended_after(7), kBlock + ": block ended after 0 of 32768 bytes" + closed);
  EXPECT_EQ(ended_after(7 + 10000), kBlock + ": block ended after 10000 of 32768 bytes" + closed);
  EXPECT_EQ(ended_after(7 + 32768),
            kBlock + ": block of 32768 bytes not followed by a line feed" + closed);
}

TEST(ReplyReaderBlock, UsesTheOneDeadlineOfTheOperationForEveryPiece) {
  auto log = std::make_shared<StreamLog>();
  PieceStream stream(InPieces(BlockBytes({1.0f, 2.0f}), 1), log);
  ReplyReader reader(stream);
  const Deadline deadline = Soon();
  reader.ReadBlock(deadline, kBlock);
  ASSERT_EQ(log->receive_deadlines.size(), 12u);
  for (const auto at : log->receive_deadlines) EXPECT_EQ(at, deadline.At());
}

}  // namespace
}  // namespace multitone::testing
