// The wire protocol on an in-memory stream: what each operation hands to the
// stream, and the one deadline each operation gets.
#include "link/stream_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link_test_helpers.h"
#include "support/loopback_server.h"

namespace multitone::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::chrono::milliseconds kTimeout(2000);

// A transport over a PieceStream that answers with `replies`; `log` shows
// what it was asked.
struct FakeLink {
  explicit FakeLink(std::vector<std::string> replies)
      : transport(MakeStreamTransport(
            [this, replies](Deadline deadline) -> std::unique_ptr<ByteStream> {
              ++connects;
              connect_deadline = deadline.At();
              return std::make_unique<PieceStream>(replies, log);
            },
            kTimeout)) {}

  std::shared_ptr<StreamLog> log = std::make_shared<StreamLog>();
  int connects = 0;
  Deadline::Clock::time_point connect_deadline{};
  std::unique_ptr<Transport> transport;
};

TEST(LinkStreamTransport, InitializeConnectsAndSendsNothing) {
  FakeLink link({});
  const auto before = Deadline::Clock::now();
  link.transport->Initialize("selfadjustment");
  EXPECT_EQ(link.connects, 1);
  EXPECT_THAT(link.log->sent, IsEmpty());
  EXPECT_GE(link.connect_deadline, before + kTimeout);
  EXPECT_LE(link.connect_deadline, Deadline::Clock::now() + kTimeout);
}

TEST(LinkStreamTransport, WriteSendsTheTextAndOneLineFeedInOnePiece) {
  FakeLink link({});
  link.transport->Initialize("selfadjustment");
  link.transport->Write("SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ");
  link.transport->Write("DISP:FFT:A:UNIT:TRAC ON ");
  link.transport->Write("");
  EXPECT_THAT(link.log->sent, ElementsAre("SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ\n",
                                          "DISP:FFT:A:UNIT:TRAC ON \n", "\n"));
}

TEST(LinkStreamTransport, ReadSendsNothingAndReturnsTheReply) {
  FakeLink link({"V\r\n"});
  link.transport->Initialize("selfadjustment");
  link.transport->Write("SENS:UNIT?");
  EXPECT_EQ(link.transport->Read(), "V\r");
  EXPECT_THAT(link.log->sent, ElementsAre("SENS:UNIT?\n"));
}

TEST(LinkStreamTransport, ReadBlockSendsTheQueryAndOneLineFeedInOnePiece) {
  FakeLink link({BlockBytes({1.5f, 2.5f})});
  link.transport->Initialize("selfadjustment");
  EXPECT_THAT(link.transport->ReadBlock("trac:load:fft_ay?"), ElementsAre(1.5f, 2.5f));
  EXPECT_THAT(link.log->sent, ElementsAre("trac:load:fft_ay?\n"));
}

TEST(LinkStreamTransport, CloseDropsTheStreamAndSendsNothing) {
  FakeLink link({});
  link.transport->Initialize("selfadjustment");
  link.transport->Close();
  EXPECT_TRUE(link.log->destroyed);
  EXPECT_THAT(link.log->sent, IsEmpty());
}

TEST(LinkStreamTransport, GivesEachOperationItsOwnDeadline) {
  FakeLink link({"1", "000\n", BlockBytes({1.0f})});
  link.transport->Initialize("selfadjustment");
  link.transport->Write("sens3:data?");
  const auto before_read = Deadline::Clock::now();
  link.transport->Read();
  const auto after_read = Deadline::Clock::now();
  link.transport->ReadBlock("trac:load:fft_ay?");
  const auto& deadlines = link.log->receive_deadlines;
  ASSERT_EQ(deadlines.size(), 3u);
  EXPECT_EQ(deadlines[0], deadlines[1]) << "the pieces of one reply share one deadline";
  EXPECT_GE(deadlines[0], before_read + kTimeout);
  EXPECT_LE(deadlines[0], after_read + kTimeout);
  EXPECT_GE(deadlines[2], after_read + kTimeout) << "the block gets a fresh deadline";
}

TEST(LinkStreamTransport, NamesTheOperationInItsErrors) {
  FakeLink reply({"12"});
  reply.transport->Initialize("selfadjustment");
  reply.transport->Write("sens:data?");
  EXPECT_EQ(CaughtRunError([&] { reply.transport->Read(); }).Description(),
            "reply to sens:data?: reply ended after 2 bytes: connection closed by the analyzer");
  FakeLink block({});
  block.transport->Initialize("selfadjustment");
  EXPECT_EQ(CaughtRunError([&] { block.transport->ReadBlock("trac:load:fft_by?"); }).Description(),
            "block for trac:load:fft_by?: connection closed by the analyzer");
}

TEST(LinkStreamTransport, CutsALongTextShortInItsErrors) {
  const std::string table = "syst:disp:expl:text '<table cellspacing=0 cellpadding=-1><tr><td><b>"
                            "Measurement Results  </td></tr></table>'";
  FakeLink link({});
  link.transport->Initialize("selfadjustment");
  link.transport->Write(table);
  EXPECT_THAT(link.log->sent, ElementsAre(table + "\n")) << "the text itself goes out whole";
  EXPECT_EQ(CaughtRunError([&] { link.transport->Read(); }).Description(),
            "reply to syst:disp:expl:text '<table cellspacing=0 cellpadding=-1><tr...: connection "
            "closed by the analyzer");
}

TEST(LinkStreamTransport, RefusesOperationsOutsideAnOpenSession) {
  FakeLink link({"1\n"});
  for (const auto& error : {CaughtRunError([&] { link.transport->Write("*CLS"); }),
                            CaughtRunError([&] { link.transport->Read(); }),
                            CaughtRunError([&] { link.transport->ReadBlock("trac:load:fft_ay?"); })}) {
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_EQ(error.Description(), "the link is not open");
  }
  link.transport->Initialize("selfadjustment");
  link.transport->Close();
  EXPECT_EQ(CaughtRunError([&] { link.transport->Read(); }).Description(), "the link is not open");
  EXPECT_THAT(link.log->sent, IsEmpty());
}

}  // namespace
}  // namespace multitone::testing
