// The HiSLIP transport against a stand-in server that misbehaves at one
// message of either channel: every cut, stall, malformed header, wrong
// version or error ends in RunError 440 naming the operation, within the
// timeout, and never as data. And what a server must be able to rely on:
// messages within its maximum size, MessageIDs, RMT-delivered, a 1.0
// server, an interrupted reply, overlapped mode.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/run_error.h"
#include "link/hislip_transport.h"
#include "support/hislip_stand_in.h"

namespace multitone::testing {
namespace {

using hislip::Type;
using Act = HislipStandIn::Act;
using ::testing::HasSubstr;

constexpr std::chrono::milliseconds kHislipTimeout(300);

std::unique_ptr<Transport> OpenHislip(const HislipStandIn& server) {
  HislipSettings settings;
  settings.host = "127.0.0.1";
  settings.port = server.Port();
  settings.timeout = kHislipTimeout;
  return OpenHislipTransport(settings);
}

// A session as a run has it: open, a command, a query, close. What the
// query returned, or the error that ended it.
std::string HislipSession(const HislipStandIn& server) {
  std::unique_ptr<Transport> link = OpenHislip(server);
  try {
    link->Initialize("selfadjustment");
    link->Write("SENS:UNIT V");
    link->Write("*IDN?");
    std::string reply = link->Read();
    link->Close();
    return "reply " + reply;
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
    return error.Description();
  }
}

TEST(HislipTransport, EveryFaultOfEitherChannelEndsInError440NamingTheOperation) {
  const std::string opening = "opening HiSLIP session hislip0 at 127.0.0.1:";
  const std::string timeout = "did not complete within the 300 ms timeout";
  const struct {
    Type at;
    Act act;
    std::string error;  // in the description, after the operation
  } cases[] = {
      // The synchronous channel.
      {Type::Initialize, Act::Cut, "connection closed by the analyzer"},
      {Type::Initialize, Act::Stall, timeout},
      {Type::Initialize, Act::Garbage, "malformed HiSLIP message header \"XY-not-a-header."},
      {Type::Initialize, Act::WrongVersion, "the analyzer answered with HiSLIP version 3.0; this link speaks 1.x and 2.x"},
      {Type::Initialize, Act::WrongAnswer, "expected InitializeResponse, got AsyncInitializeResponse"},
      {Type::Initialize, Act::Fatal,
       "the analyzer ended the session with HiSLIP fatal error 4 (maximum number of clients exceeded): too many "
       "clients"},
      {Type::DataEnd, Act::CutMidReply, "connection closed by the analyzer"},
      {Type::DataEnd, Act::Stall, timeout + "; device clear failed: the reply " + timeout},
      {Type::DataEnd, Act::Garbage, "malformed HiSLIP message header"},
      {Type::DataEnd, Act::Error, "the analyzer reported HiSLIP error 1 (unrecognized message type): what is this"},
      // The asynchronous channel.
      {Type::AsyncInitialize, Act::Cut, "connection closed by the analyzer"},
      {Type::AsyncInitialize, Act::Garbage, "malformed HiSLIP message header"},
      {Type::AsyncInitialize, Act::WrongAnswer, "expected AsyncInitializeResponse, got InitializeResponse"},
      {Type::AsyncMaximumMessageSize, Act::Stall, timeout},
      {Type::AsyncMaximumMessageSize, Act::Error, "HiSLIP error 1 (unrecognized message type)"},
      {Type::AsyncLock, Act::Fatal, "HiSLIP fatal error 4"},
      {Type::AsyncLock, Act::RefuseLock, "the analyzer is locked by another client (no exclusive lock within"},
      {Type::AsyncStatusQuery, Act::Cut, "device clear failed: connection closed by the analyzer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(hislip::TypeName(static_cast<std::uint8_t>(c.at)) + " " + std::to_string(static_cast<int>(c.act)));
    // A status query comes only after a reply timed out.
    std::optional<HislipStandIn> server;
    if (c.at == Type::AsyncStatusQuery) {
      server.emplace(HislipStandIn::Fault{c.at, c.act}, HislipStandIn::Settings{.reply = std::nullopt});
    } else {
      server.emplace(HislipStandIn::Fault{c.at, c.act});
    }
    const std::string error = HislipSession(*server);
    const bool opening_fault = c.at != Type::DataEnd && c.at != Type::AsyncStatusQuery;
    EXPECT_THAT(error, ::testing::StartsWith(opening_fault ? opening : "reply to *IDN?: "));
    EXPECT_THAT(error, HasSubstr(c.error));
    if (c.act == Act::Garbage) {  // said to the server too, as the protocol asks
      const auto messages = server->MessagesOnce([](const auto& m) {
        return !m.empty() && m.back().header.type == static_cast<std::uint8_t>(Type::FatalError);
      });
      ASSERT_FALSE(messages.empty());
      EXPECT_EQ(messages.back().header.type, static_cast<std::uint8_t>(Type::FatalError));
      EXPECT_EQ(messages.back().header.control, 1);
    }
  }
}

// A query that gets no reply: the analyzer is asked for its status byte and
// cleared before the error is reported, and the link goes on cleanly.
TEST(HislipTransport, AReplyThatNeverComesClearsTheAnalyzer) {
  HislipStandIn server(std::nullopt, HislipStandIn::Settings{.reply = std::nullopt});
  std::unique_ptr<Transport> link = OpenHislip(server);
  link->Initialize("");
  link->Write("*IDN?");
  try {
    link->Read();
    ADD_FAILURE() << "a reply out of nothing";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Description(),
              "reply to *IDN?: the reply did not complete within the 300 ms timeout; status byte 0x00; device clear done");
  }
  link->Write("SENS:UNIT V");
  const auto messages = server.MessagesOnce([](const auto& m) { return m.size() >= 9; });
  std::vector<std::string> sent;
  for (const auto& m : messages) {
    if (!m.async || m.header.type != static_cast<std::uint8_t>(Type::AsyncLock)) {
      sent.push_back(hislip::TypeName(m.header.type));
    }
  }
  EXPECT_THAT(sent, ::testing::ElementsAre("Initialize", "AsyncInitialize", "AsyncMaximumMessageSize", "DataEND",
                                           "AsyncStatusQuery", "AsyncDeviceClear", "DeviceClearComplete", "DataEND"));
  // The MessageIDs start over after the clear.
  EXPECT_EQ(messages.back().header.parameter, hislip::kFirstMessageId);
}

// A text longer than the server takes in one message leaves in Data
// messages and a last DataEND, none over the server's size with its header;
// every message has the next MessageID; the first after a reply says it was
// delivered.
TEST(HislipTransport, MessagesFitTheServersSizeAndCountTheirIds) {
  HislipStandIn server(std::nullopt, HislipStandIn::Settings{.max_message = 40, .reply = "V"});
  std::unique_ptr<Transport> link = OpenHislip(server);
  link->Initialize("");
  const std::string text = "syst:mem:str1 \"" + std::string(60, 'x') + "\";:SENS:UNIT?";
  link->Write(text);
  EXPECT_EQ(link->Read(), "V");
  link->Write("SENS:UNIT V");
  std::string received;
  std::uint32_t id = hislip::kFirstMessageId;
  std::vector<std::string> kinds;
  for (const auto& m : server.MessagesOnce([](const auto& m) { return m.size() >= 9; })) {
    if (m.async) continue;
    const auto type = static_cast<Type>(m.header.type);
    if (type != Type::Data && type != Type::DataEnd) continue;
    EXPECT_LE(hislip::kHeaderBytes + m.payload.size(), 40u);
    EXPECT_EQ(m.header.parameter, id);
    id += 2;
    kinds.push_back(hislip::TypeName(m.header.type) + ((m.header.control & hislip::kRmtDelivered) ? "+RMT" : ""));
    received += m.payload;
  }
  EXPECT_EQ(received, text + "SENS:UNIT V");
  EXPECT_THAT(kinds, ::testing::ElementsAre("Data", "Data", "Data", "DataEND", "DataEND+RMT"));
}

// A 1.0 server, one that prefers overlapped mode and is switched to
// synchronized mode, and one that stays overlapped: each gives the reply.
TEST(HislipTransport, ServersOfEveryVersionAndModeGiveTheReply) {
  const struct {
    HislipStandIn::Settings settings;
    const char* peer;
  } servers[] = {
      {{.version = 0x0100}, "HiSLIP 1.0, session 7, synchronized mode"},
      {{.prefer_overlapped = true}, "HiSLIP 2.0, session 7, synchronized mode"},
      {{.overlapped_only = true}, "HiSLIP 2.0, session 7, overlapped mode"},
  };
  for (const auto& s : servers) {
    SCOPED_TRACE(s.peer);
    HislipStandIn server(std::nullopt, s.settings);
    std::unique_ptr<Transport> link = OpenHislip(server);
    link->Initialize("");
    EXPECT_THAT(link->Peer(), ::testing::StartsWith(s.peer));
    link->Write("*IDN?");
    EXPECT_EQ(link->Read(), "ok");
    link->Close();
  }
}

}  // namespace
}  // namespace multitone::testing
