// The analyzer link over a real TCP connection: the block-into-array rule of
// ReadBlock, bit-exact values, and the --trace report.
#include "link/analyzer_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kQuery = "trac:load:fft_ay?";

// A link to an analyzer that answers each block query with the next of
// `blocks` and every other query with "OK". The lines the analyzer received
// go to `received`, complete once the object is gone.
class LinkToAnalyzer {
 public:
  explicit LinkToAnalyzer(std::vector<std::vector<float>> blocks, std::ostream* trace = nullptr,
                          std::vector<std::string>* received = nullptr)
      : blocks_(std::move(blocks)),
        received_(received),
        server_([this](ServerConnection& c) { Serve(c); }),
        link_(OpenTcpTransport("127.0.0.1", server_.Port(), std::chrono::seconds(5)), trace) {
    link_.Initialize("selfadjustment");
  }
  // Closes the link and waits (bounded) until the analyzer has seen the close.
  ~LinkToAnalyzer() {
    link_.Close();
    EXPECT_TRUE(finished_.Wait()) << "the analyzer did not see the link close";
  }

  AnalyzerLink& Link() { return link_; }

 private:
  void Serve(ServerConnection& c) {
    std::size_t next = 0;
    while (const auto line = c.ReadLine()) {
      if (received_ != nullptr) received_->push_back(*line);
      if (line->starts_with("trac:load") && next < blocks_.size()) {
        c.Send(BlockBytes(blocks_[next++]));
      } else if (line->ends_with('?')) {
        c.Send("OK\n");
      }
    }
    finished_.Signal();
  }

  std::vector<std::vector<float>> blocks_;
  std::vector<std::string>* received_;
  Finished finished_;
  LoopbackServer server_;
  AnalyzerLink link_;
};

std::vector<float> Ramp(std::size_t count, float start) {
  std::vector<float> values(count);
  for (std::size_t i = 0; i < count; ++i) values[i] = start + static_cast<float>(i);
  return values;
}

TEST(LinkReadBlock, StoresTheFirstCountValuesAndDropsTheRest) {
  std::vector<float> array(6, -1.0f);
  std::string next_reply;
  {
    LinkToAnalyzer analyzer({Ramp(10, 100.0f)});
    analyzer.Link().ReadBlock(kQuery, array, 4);
    analyzer.Link().Write("sens:data?");
    next_reply = analyzer.Link().Read();
  }
  EXPECT_THAT(array, ElementsAre(100.0f, 101.0f, 102.0f, 103.0f, -1.0f, -1.0f));
  EXPECT_EQ(next_reply, "OK") << "the dropped values must have been read off the connection";
}

TEST(LinkReadBlock, LeavesTheRestOfTheArrayWhenFewerValuesArrive) {
  std::vector<float> array(8, 7.0f);
  {
    LinkToAnalyzer analyzer({Ramp(3, 1.0f)});
    analyzer.Link().ReadBlock(kQuery, array, 8);
  }
  EXPECT_THAT(array, ElementsAre(1.0f, 2.0f, 3.0f, 7.0f, 7.0f, 7.0f, 7.0f, 7.0f));
}

TEST(LinkReadBlock, Fills8192ValuesAndLeavesElement8192AsItWas) {
  const std::vector<float> spectrum = Ramp(8192, 0.5f);
  std::vector<float> array(8193, 0.0f);
  array[8192] = 42.0f;
  {
    LinkToAnalyzer analyzer({spectrum});
    analyzer.Link().ReadBlock(kQuery, array, 8192);
  }
  EXPECT_THAT(std::vector<float>(array.begin(), array.begin() + 8192), ElementsAreArray(spectrum));
  EXPECT_EQ(array[8192], 42.0f);
}

TEST(LinkReadBlock, StoresFromTheElementGiven) {
  std::vector<float> array(5, 0.0f);
  {
    LinkToAnalyzer analyzer({{8.0f, 9.0f}});
    analyzer.Link().ReadBlock(kQuery, std::span<float>(array).subspan(2), 2);
  }
  EXPECT_THAT(array, ElementsAre(0.0f, 0.0f, 8.0f, 9.0f, 0.0f));
}

TEST(LinkReadBlock, CarriesA32BitFloatBitExact) {
  const std::vector<float> values = {0.1f, FromBits(0x00000001), -0.0f, FromBits(0x7f7fffff),
                                     FromBits(0x3f7fffff), 1.0f / 3.0f};
  std::vector<float> array(values.size(), 9.0f);
  {
    LinkToAnalyzer analyzer({values});
    analyzer.Link().ReadBlock(kQuery, array, static_cast<std::int32_t>(values.size()));
  }
  EXPECT_EQ(Bits(array[0]), 0x3dcccccdu) << "0.1f";
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(Bits(array[i]), Bits(values[i])) << i;
}

TEST(LinkReadBlock, ReadsAndDropsTheWholeBlockForCountZero) {
  std::vector<float> array(4, 3.0f);
  std::string next_reply;
  {
    LinkToAnalyzer analyzer({Ramp(4, 0.0f)});
    analyzer.Link().ReadBlock(kQuery, array, 0);
    analyzer.Link().Write("sens:data?");
    next_reply = analyzer.Link().Read();
  }
  EXPECT_THAT(array, Each(3.0f));
  EXPECT_EQ(next_reply, "OK");
}

TEST(LinkReadBlock, RejectsACountBeyondTheArrayBeforeSendingAnything) {
  std::vector<float> array(8, 1.0f);
  std::vector<std::string> received;
  {
    LinkToAnalyzer analyzer({Ramp(9, 0.0f)}, nullptr, &received);
    for (const std::int32_t count : {9, -1}) {
      const RunError error = CaughtRunError([&] { analyzer.Link().ReadBlock(kQuery, array, count); });
      EXPECT_EQ(error.Number(), ErrorNumber::IndexOutOfRange);
      EXPECT_EQ(error.Description(), "block of " + std::to_string(count) +
                                         " values for trac:load:fft_ay? does not fit an array of 8");
    }
    analyzer.Link().Write("*CLS");
  }
  EXPECT_THAT(received, ElementsAre("*CLS"));
  EXPECT_THAT(array, Each(1.0f));
}

TEST(LinkTrace, ShowsEveryOperationOnItsOwnLine) {
  std::ostringstream trace;
  {
    LinkToAnalyzer analyzer({{1.0f, 2.0f, 3.0f}}, &trace);
    analyzer.Link().Write("INP:FILT OFF");
    analyzer.Link().Write("SENS:UNIT?");
    analyzer.Link().Read();
    std::vector<float> array(4);
    analyzer.Link().ReadBlock(kQuery, array, 3);
  }
  EXPECT_EQ(trace.str(),
            "= Initialize selfadjustment\n"
            "> INP:FILT OFF\n"
            "> SENS:UNIT?\n"
            "< OK\n"
            "> trac:load:fft_ay?\n"
            "< block of 3 values\n"
            "= Close\n");
}

TEST(LinkTrace, ShowsRepliesEscaped) {
  EXPECT_EQ(EscapeForTrace("FLAT\r"), "FLAT\\r");
  EXPECT_EQ(EscapeForTrace(std::string("a\\b\tc\nd\x01\x7f\xff", 10)), "a\\\\b\\tc\\nd\\x01\\x7F\\xFF");
  EXPECT_EQ(EscapeForTrace(std::string("\0", 1)), "\\x00");
  EXPECT_EQ(EscapeForTrace(" 95 dB, 96 dB"), " 95 dB, 96 dB");
}

}  // namespace
}  // namespace multitone::testing
