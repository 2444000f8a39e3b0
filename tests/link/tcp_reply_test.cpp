// Replies over a real TCP connection, in whatever pieces the analyzer sends
// them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::ElementsAre;

TEST(TcpReplies, ReadsAReplySentOneByteAtATime) {
  std::optional<std::string> query;
  std::string reply;
  {
    LoopbackServer server([&](ServerConnection& c) {
      query = c.ReadLine();
      c.SendInPieces("1000.0625\n", 1);
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    link->Write("sens3:data?");
    reply = link->Read();
    link->Close();
  }
  EXPECT_EQ(query, "sens3:data?");
  EXPECT_EQ(reply, "1000.0625");
}

TEST(TcpReplies, ReadsAReplyCutIntoPiecesOfEverySize) {
  const std::string sent = " 95 dB, 96 dB\n";
  std::atomic<std::size_t> piece = 1;
  LoopbackServer server(
      [&](ServerConnection& c) {
        if (c.ReadLine()) c.SendInPieces(sent, piece);
        c.WaitForClientClose();
      },
      static_cast<int>(sent.size()));
  for (; piece <= sent.size(); ++piece) {
    SCOPED_TRACE("pieces of " + std::to_string(piece) + " bytes");
    auto link = ConnectedTo(server);
    link->Write("syst:mem:str8?");
    EXPECT_EQ(link->Read(), " 95 dB, 96 dB");
    link->Close();
  }
}

TEST(TcpReplies, ReadsTwoRepliesThatArriveInOneSegment) {
  std::vector<std::optional<std::string>> queries;
  std::vector<std::string> replies;
  {
    LoopbackServer server([&](ServerConnection& c) {
      queries.push_back(c.ReadLine());
      c.Send("V\nFLAT\n");
      queries.push_back(c.ReadLine());
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    link->Write("SENS:UNIT?");
    replies.push_back(link->Read());
    link->Write("sens:func:fft:wind?");
    replies.push_back(link->Read());
    link->Close();
  }
  EXPECT_THAT(queries, ElementsAre("SENS:UNIT?", "sens:func:fft:wind?"));
  EXPECT_THAT(replies, ElementsAre("V", "FLAT"));
}

TEST(TcpReplies, KeepsBytesAfterTheLineFeedForTheNextRead) {
  std::vector<std::string> replies;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send("S16K\nB2");
      c.ReadLine();
      c.Send("2\n");
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    link->Write("sens:func:fft:size?");
    replies.push_back(link->Read());
    link->Write("inp:band:mode?");
    replies.push_back(link->Read());
    link->Close();
  }
  EXPECT_THAT(replies, ElementsAre("S16K", "B22"));
}

TEST(TcpReplies, KeepsACarriageReturnBeforeTheLineFeed) {
  std::vector<std::string> replies;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send("FLAT\r\n \t0.7071 \n\n");
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    link->Write("sens:func:fft:wind?");
    for (int i = 0; i < 3; ++i) replies.push_back(link->Read());
    link->Close();
  }
  EXPECT_THAT(replies, ElementsAre("FLAT\r", " \t0.7071 ", ""));
}

TEST(TcpReplies, ReadsALongReplyInFull) {
  const std::string text(300000, '7');
  std::string reply;
  {
    LoopbackServer server([&](ServerConnection& c) {
      c.ReadLine();
      c.Send(text + "\n");
      c.WaitForClientClose();
    });
    auto link = ConnectedTo(server);
    link->Write("syst:mem:str24?");
    reply = link->Read();
    link->Close();
  }
  EXPECT_EQ(reply, text);
}

TEST(TcpReplies, RejectsAReplyOverOneMebibyte) {
  const std::string text((std::size_t{1} << 20) + 1, 'x');
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Send(text + "\n");
    c.WaitForClientClose();
  });
  auto link = ConnectedTo(server);
  link->Write("syst:mem:str24?");
  const RunError error = CaughtRunError([&] { link->Read(); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(), "reply to syst:mem:str24?: reply longer than 1 MiB without a line feed");
}

}  // namespace
}  // namespace multitone::testing
