// A block that arrives as one whole message (VXI-11, where END ends it):
// the same decoder as the stream reader, plus the message's own end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/run_error.h"
#include "link/block_decoder.h"
#include "support/loopback_server.h"

namespace multitone {
namespace {

using testing::BlockBytes;

TEST(BlockMessage, DecodesAWholeMessageWithOrWithoutItsFinalLineFeed) {
  const std::string with_lf = BlockBytes({1.0f, -2.5f});
  const std::string without_lf = with_lf.substr(0, with_lf.size() - 1);
  EXPECT_EQ(DecodeBlockMessage(with_lf, "block"), (std::vector<float>{1.0f, -2.5f}));
  EXPECT_EQ(DecodeBlockMessage(without_lf, "block"), (std::vector<float>{1.0f, -2.5f}));
}

TEST(BlockMessage, RefusesWhatDoesNotEndWhereTheCountSays) {
  const std::string one = BlockBytes({1.0f});  // "#14" + 4 bytes + LF
  const struct {
    std::string message;
    const char* problem;
  } cases[] = {
      {"", "expected a binary block, got an empty message"},
      {"#", "block header ended early"},
      {"#2", "block header ended early"},
      {one.substr(0, 5), "block ended after 2 of 4 bytes"},
      {one + "\n", "block of 4 bytes followed by \"\\n\\n\""},
      {one.substr(0, 7) + "\r\n", "block of 4 bytes followed by \"\\r\\n\""},
      {one + "#14", "block of 4 bytes followed by"},
      {"1.5\n", "expected a binary block starting with '#'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    try {
      DecodeBlockMessage(c.message, "block for trac:load:fft_ay?");
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
      EXPECT_THAT(error.Description(), ::testing::StartsWith(std::string("block for trac:load:fft_ay?: ") +
                                                             c.problem));
    }
  }
}

}  // namespace
}  // namespace multitone
