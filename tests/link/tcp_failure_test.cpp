// An analyzer that closes, resets, refuses, stalls or dribbles: every case
// ends in RunError 440 with a sentence naming what happened, and nothing
// waits longer than the operation's timeout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kShortTimeout(300);
const std::string kFailingBlockQuery = "trac:load:fft_ay?";

// Runs `operation`, which must fail, and returns its error and how long it took.
template <typename Operation>
std::pair<RunError, Clock::duration> TimedError(Operation&& operation) {
  const auto start = Clock::now();
  RunError error = CaughtRunError(operation);
  return {error, Clock::now() - start};
}

TEST(TcpFailures, ReportsAnAnalyzerThatClosesMidBlock) {
  const std::string block = BlockBytes(std::vector<float>(8192, 0.5f));
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Send(block.substr(0, 7 + 10000));
    c.Close();
  });
  auto link = ConnectedTo(server);
  const RunError error = CaughtRunError([&] { link->ReadBlock(kFailingBlockQuery); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(),
            "block for trac:load:fft_ay?: block ended after 10000 of 32768 bytes: connection closed "
            "by the analyzer");
}

TEST(TcpFailures, ReportsAnAnalyzerThatClosesInsteadOfAnswering) {
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Close();
  });
  auto link = ConnectedTo(server);
  link->Write("sens3:data?");
  const RunError error = CaughtRunError([&] { link->Read(); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(), "reply to sens3:data?: connection closed by the analyzer");
}

TEST(TcpFailures, ReportsAnAnalyzerThatResetsTheConnection) {
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Reset();
  });
  auto link = ConnectedTo(server);
  link->Write("sens:data?");
  const RunError error = CaughtRunError([&] { link->Read(); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(), "reply to sens:data?: connection reset by the analyzer");
}

TEST(TcpFailures, ReportsAResetInTheMiddleOfABlock) {
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Send(BlockBytes(std::vector<float>(8192, 0.5f)).substr(0, 5000));
    c.Reset();
  });
  auto link = ConnectedTo(server);
  const RunError error = CaughtRunError([&] { link->ReadBlock(kFailingBlockQuery); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_THAT(error.Description(), StartsWith("block for trac:load:fft_ay?: "));
  EXPECT_THAT(error.Description(), HasSubstr("connection reset by the analyzer"));
}

TEST(TcpFailures, ReportsARefusedConnection) {
  const int port = UnusedPort();
  auto link = OpenTcpTransport("127.0.0.1", port, kShortTimeout);
  const RunError error = CaughtRunError([&] { link->Initialize("selfadjustment"); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(), "connection refused by 127.0.0.1:" + std::to_string(port));
}

TEST(TcpFailures, WritingToAClosedConnectionFailsWithoutASignal) {
  // A SIGPIPE would end this test program; the link must report an error.
  LoopbackServer server([&](ServerConnection& c) { c.Close(); });
  auto link = ConnectedTo(server);
  std::optional<RunError> error;
  for (const auto until = Clock::now() + std::chrono::seconds(5); !error && Clock::now() < until;) {
    try {
      link->Write("INP:FILT OFF");
      std::this_thread::sleep_for(milliseconds(5));  // bounded polling for the close to arrive
    } catch (const RunError& e) {
      error = e;
    }
  }
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_THAT(error->Description(),
              AnyOf("writing INP:FILT OFF: connection closed by the analyzer",
                    "writing INP:FILT OFF: connection reset by the analyzer"));
}

// Said when a timeout comes before the first byte of any reply.
const std::string kBusy =
    "; nothing at all has come back since connecting: the analyzer may be busy with another client";

TEST(TcpFailures, GivesUpOnAnAnalyzerThatNeverAnswers) {
  LoopbackServer server([&](ServerConnection& c) { c.WaitForClientClose(std::chrono::seconds(10)); });
  auto link = ConnectedTo(server, kShortTimeout);
  link->Write("sens3:data?");
  const auto [error, took] = TimedError([&] { link->Read(); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(),
            "reply to sens3:data?: the reply did not complete within the 300 ms timeout" + kBusy);
  EXPECT_GE(took, kShortTimeout * 2 / 3) << "gave up long before the timeout";
  EXPECT_LT(took, std::chrono::seconds(10)) << "did not end";
}

TEST(TcpFailures, GivesUpOnABlockQueryThatIsNeverAnswered) {
  LoopbackServer server([&](ServerConnection& c) { c.WaitForClientClose(std::chrono::seconds(10)); });
  auto link = ConnectedTo(server, kShortTimeout);
  const auto [error, took] = TimedError([&] { link->ReadBlock(kFailingBlockQuery); });
  EXPECT_EQ(error.Description(),
            "block for trac:load:fft_ay?: the reply did not complete within the 300 ms timeout" + kBusy);
  EXPECT_GE(took, kShortTimeout * 2 / 3);
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(TcpFailures, GivesUpOnHalfABlockFollowedBySilence) {
  const std::string block = BlockBytes(std::vector<float>(8192, 0.5f));
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    c.Send(block.substr(0, 7 + 16384));
    c.WaitForClientClose(std::chrono::seconds(10));
  });
  auto link = ConnectedTo(server, kShortTimeout);
  const auto [error, took] = TimedError([&] { link->ReadBlock(kFailingBlockQuery); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(),
            "block for trac:load:fft_ay?: block ended after 16384 of 32768 bytes: the reply did not "
            "complete within the 300 ms timeout");
  EXPECT_GE(took, kShortTimeout * 2 / 3);
  EXPECT_LT(took, std::chrono::seconds(10));
}

// A listening socket on 127.0.0.1 whose accept queue (of length 0) is
// already taken by a connection nobody accepts: a further connection attempt
// gets no answer at all, like an analyzer that is switched off.
class FullListener {
 public:
  FullListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ready_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             ::listen(listener_, 0) == 0 &&
             ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin_port);
    filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ready_ = ready_ && ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    pollfd queued{listener_, POLLIN, 0};  // the filler is in the accept queue
    ready_ = ready_ && ::poll(&queued, 1, 5000) == 1;
  }
  ~FullListener() {
    ::close(filler_);
    ::close(listener_);
  }
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;

  bool Ready() const { return ready_; }
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int filler_ = -1;
  int port_ = 0;
  bool ready_ = false;
};

TEST(TcpFailures, GivesUpOnAnAnalyzerThatDoesNotAnswerTheConnection) {
  FullListener listener;
  ASSERT_TRUE(listener.Ready());
  const std::string peer = "127.0.0.1:" + std::to_string(listener.Port());
  auto link = OpenTcpTransport("127.0.0.1", listener.Port(), kShortTimeout);
  const auto [error, took] = TimedError([&] { link->Initialize("selfadjustment"); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(), "no connection to " + peer + " within 300 ms");
  EXPECT_GE(took, kShortTimeout * 2 / 3);
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(TcpFailures, GivesUpOnAnAnalyzerThatStopsReading) {
  // Far more than the socket buffers of both ends hold.
  const std::string text = "syst:mem:str1 '" + std::string(16 << 20, 'x') + "'";
  Finished failed;
  LoopbackServer server([&](ServerConnection&) { failed.Wait(std::chrono::seconds(10)); });
  auto link = ConnectedTo(server, kShortTimeout);
  const auto [error, took] = TimedError([&] { link->Write(text); });
  failed.Signal();
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_EQ(error.Description(),
            "writing syst:mem:str1 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...: sending did not "
            "complete within the 300 ms timeout");
  EXPECT_GE(took, kShortTimeout * 2 / 3);
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(TcpFailures, TimesTheWholeReplyNotEachPiece) {
  // Every byte comes well within the timeout of the one before, but the
  // reply as a whole takes far longer than the timeout.
  const std::string reply = "1000.00000000000000000000000000000000\n";
  LoopbackServer server([&](ServerConnection& c) {
    c.ReadLine();
    for (const char byte : reply) {
      if (!c.Send(std::string(1, byte))) return;
      std::this_thread::sleep_for(milliseconds(40));  // the analyzer's pace
    }
  });
  auto link = ConnectedTo(server, kShortTimeout);
  link->Write("sens3:data?");
  const RunError error = CaughtRunError([&] { link->Read(); });
  EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
  EXPECT_THAT(error.Description(), StartsWith("reply to sens3:data?: reply ended after "));
  EXPECT_THAT(error.Description(), HasSubstr("the reply did not complete within the 300 ms timeout"));
}

}  // namespace
}  // namespace multitone::testing
