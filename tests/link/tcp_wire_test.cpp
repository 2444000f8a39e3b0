// What crosses the wire, seen from the analyzer's side: each message and one
// LF, nothing else; opening and closing the link send nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::ElementsAre;

// Everything the client sent on one connection, up to its close.
struct Capture {
  bool client_closed = false;
  std::string bytes;
  Finished finished;
};

LoopbackServer::Handler CaptureInto(Capture& capture) {
  return [&capture](ServerConnection& c) {
    capture.client_closed = c.WaitForClientClose();
    capture.bytes = c.Unread();
    capture.finished.Signal();
  };
}

TEST(TcpWire, InitializeAndCloseSendNothing) {
  Capture capture;
  {
    LoopbackServer server(CaptureInto(capture));
    auto link = OpenTcpTransport("127.0.0.1", server.Port(), std::chrono::seconds(5));
    link->Initialize("selfadjustment");
    link->Close();
    ASSERT_TRUE(capture.finished.Wait());
  }
  EXPECT_TRUE(capture.client_closed);
  EXPECT_EQ(capture.bytes, "");
}

TEST(TcpWire, WriteSendsExactlyTheTextAndOneLineFeed) {
  Capture capture;
  {
    LoopbackServer server(CaptureInto(capture));
    auto link = ConnectedTo(server);
    link->Write("SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ");
    link->Write("DISP:FFT:A:UNIT:TRAC ON");
    link->Write("syst:mem:str1 \" 1.5 %\" ");
    link->Close();
    ASSERT_TRUE(capture.finished.Wait());
  }
  EXPECT_TRUE(capture.client_closed);
  EXPECT_EQ(capture.bytes,
            "SENS:UFIL BPAS;:SENS:UFIL:PASS:LOW 900 HZ;:SENS:UFIL:PASS:UPP 1100 HZ\n"
            "DISP:FFT:A:UNIT:TRAC ON\n"
            "syst:mem:str1 \" 1.5 %\" \n");
}

TEST(TcpWire, ReadSendsNothing) {
  std::vector<std::optional<std::string>> lines;
  std::string after;
  {
    LoopbackServer server([&](ServerConnection& c) {
      lines.push_back(c.ReadLine());
      c.Send("1\n2\n");
      c.WaitForClientClose();
      after = c.Unread();
    });
    auto link = ConnectedTo(server);
    link->Write("sens:data?");
    link->Read();
    link->Read();
    link->Close();
  }
  EXPECT_THAT(lines, ElementsAre("sens:data?"));
  EXPECT_EQ(after, "");
}

TEST(TcpWire, ReadBlockSendsExactlyTheQueryAndOneLineFeed) {
  std::optional<std::string> query;
  std::string after;
  {
    LoopbackServer server([&](ServerConnection& c) {
      query = c.ReadLine();
      c.Send(BlockBytes({1.0f}));
      c.WaitForClientClose();
      after = c.Unread();
    });
    auto link = ConnectedTo(server);
    link->ReadBlock("trac:load:fft_by?");
    link->Close();
  }
  EXPECT_EQ(query, "trac:load:fft_by?");
  EXPECT_EQ(after, "");
}

}  // namespace
}  // namespace multitone::testing
