// The analyzer address "tcp://HOST[:PORT]": what is accepted, where it
// connects, and what is refused as a link that cannot be created (429).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link_test_helpers.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::chrono::milliseconds kConnectTimeout(2000);

// The first line that reaches a loopback server when the link connects
// through address_before_port + its port + address_after_port.
std::string ReceivedThrough(const std::string& address_before_port, const std::string& address_after_port) {
  std::optional<std::string> line;
  Finished finished;
  {
    LoopbackServer server([&](ServerConnection& c) {
      line = c.ReadLine();
      finished.Signal();
    });
    auto link = OpenTcpTransport(address_before_port + std::to_string(server.Port()) + address_after_port,
                                 kConnectTimeout);
    link->Initialize("selfadjustment");
    link->Write("*CLS");
    link->Close();
    EXPECT_TRUE(finished.Wait());
  }
  return line.value_or("(nothing)");
}

TEST(TcpAddress, ConnectsToTheGivenPort) {
  EXPECT_EQ(ReceivedThrough("tcp://127.0.0.1:", ""), "*CLS");
}

TEST(TcpAddress, AcceptsAPortWithLeadingZeros) {
  EXPECT_EQ(ReceivedThrough("tcp://127.0.0.1:0", ""), "*CLS");
}

TEST(TcpAddress, ResolvesAHostNameAndTriesEachOfItsAddresses) {
  // "localhost" may resolve to ::1 before 127.0.0.1; the server listens on
  // 127.0.0.1 only.
  EXPECT_EQ(ReceivedThrough("tcp://localhost:", ""), "*CLS");
}

TEST(TcpAddress, UsesPort5025WhenNoneIsGiven) {
  // Nothing in the test listens on 5025: the link either reaches whatever
  // does, or names 127.0.0.1:5025 in its failure.
  auto link = OpenTcpTransport("tcp://127.0.0.1", std::chrono::milliseconds(300));
  try {
    link->Initialize("selfadjustment");
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    EXPECT_THAT(error.Description(), HasSubstr("127.0.0.1:5025"));
  }
  EXPECT_EQ(kDefaultAnalyzerPort, 5025);
}

TEST(TcpAddress, TakesAnIPv6HostInBrackets) {
  const int port = UnusedPort();
  for (const std::string& address :
       {"tcp://[::1]:" + std::to_string(port), std::string("tcp://[::1]")}) {
    SCOPED_TRACE(address);
    auto link = OpenTcpTransport(address, std::chrono::milliseconds(300));
    try {
      link->Initialize("selfadjustment");
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
      EXPECT_THAT(error.Description(),
                  HasSubstr(address.ends_with("]") ? "[::1]:5025" : "[::1]:" + std::to_string(port)));
    }
  }
}

TEST(TcpAddress, RefusesAMalformedAddressAsALinkThatCannotBeCreated) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"127.0.0.1:5025", "does not start with tcp://"},
      {"", "does not start with tcp://"},
      {"TCP://127.0.0.1", "does not start with tcp://"},
      {"http://127.0.0.1:5025", "does not start with tcp://"},
      {"tcp:/127.0.0.1", "does not start with tcp://"},
      {"tcp://", "names no host"},
      {"tcp://:5025", "names no host"},
      {"tcp://[]:5025", "names no host"},
      {"tcp://127.0.0.1:", "has an empty port"},
      {"tcp://[::1]:", "has an empty port"},
      {"tcp://127.0.0.1:0", "has an invalid port '0'"},
      {"tcp://127.0.0.1:65536", "has an invalid port '65536'"},
      {"tcp://127.0.0.1:-1", "has an invalid port '-1'"},
      {"tcp://127.0.0.1:+80", "has an invalid port '+80'"},
      {"tcp://127.0.0.1:50x", "has an invalid port '50x'"},
      {"tcp://127.0.0.1: 80", "has an invalid port ' 80'"},
      {"tcp://127.0.0.1:99999999999", "has an invalid port '99999999999'"},
      {"tcp://[::1", "lacks ']'"},
      {"tcp://[::1]5025", "is malformed"},
      {"tcp://::1", "is malformed (an IPv6 host goes in brackets: tcp://[::1]:5025)"},
      {"tcp://::1:5025", "is malformed (an IPv6 host goes in brackets: tcp://[::1]:5025)"},
      {"tcp://fe80::1%eth0", "is malformed (an IPv6 host goes in brackets: tcp://[::1]:5025)"},
      {"tcp://127.0.0.1/inst0", "is malformed"},
      {"tcp://user@127.0.0.1", "is malformed"},
      {"tcp://127.0.0.1 :5025", "is malformed"},
  };
  for (const auto& [address, problem] : cases) {
    SCOPED_TRACE("address '" + address + "'");
    const RunError error = CaughtRunError([&] { OpenTcpTransport(address, kConnectTimeout); });
    EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated);
    EXPECT_THAT(error.Description(), StartsWith("analyzer address '" + address + "' " + problem));
  }
}

TEST(TcpAddress, RefusesAHostThatCannotBeResolved) {
  const RunError error = CaughtRunError([&] { OpenTcpTransport("tcp://no-such-analyzer.invalid", kConnectTimeout); });
  EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated);
  EXPECT_THAT(error.Description(), HasSubstr("cannot resolve analyzer host 'no-such-analyzer.invalid'"));
}

}  // namespace
}  // namespace multitone::testing
