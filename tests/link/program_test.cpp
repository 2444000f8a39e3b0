// The multitone program end to end against an analyzer on a loopback TCP
// port: exit status, the one error line, and the --trace report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "link_test_helpers.h"
#include "support/run_script.h"
#include "support/scripted_server.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::StartsWith;

ProgramResult RunMultitone(const std::string& address, std::vector<std::string> more = {},
                           const std::string& timeout_ms = "2000") {
  std::vector<std::string> argv = {MULTITONE_BINARY, "--analyzer", address, "--timeout", timeout_ms};
  argv.insert(argv.end(), more.begin(), more.end());
  return RunProgram(argv, std::chrono::seconds(60));
}

ScriptedAnalyzer CompleteScript() {
  ScriptedAnalyzer script;
  Apply(AnalyzerScript{}, script);
  return script;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Waits (bounded) until the server has seen the program close the link.
bool ClosedWithin(const ScriptedServer& server, std::chrono::seconds limit) {
  for (const auto until = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < until;
       std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
    if (server.ClientClosed()) return true;
  }
  return server.ClientClosed();
}

// Answers from `script` until it receives `line`; then sends `bytes` in
// place of the scripted answer, or closes the connection when `bytes` is
// empty.
LoopbackServer::Handler MisbehaveAt(const ScriptedAnalyzer& script, std::string line, std::string bytes) {
  return [&script, line, bytes](ServerConnection& c) {
    while (const auto received = c.ReadLine(std::chrono::seconds(10))) {
      if (*received == line) {
        if (bytes.empty()) return c.Close();
        c.Send(bytes);
      } else if (const auto* block = script.BlockFor(*received)) {
        c.Send(BlockBytes(*block));
      } else if (const auto* reply = script.ReplyTo(*received)) {
        c.Send(*reply + "\n");
      }
    }
  };
}

TEST(ProgramEndToEnd, ACompleteRunExitsZeroAndPrintsNothing) {
  const ScriptedAnalyzer script = CompleteScript();
  ScriptedServer server(script);
  const ProgramResult result = RunMultitone(server.Address());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(ClosedWithin(server, std::chrono::seconds(5)));
  const std::vector<std::string> received = server.Received();
  const std::vector<std::string> first = ConfigurationAndPitchTexts();
  ASSERT_GE(received.size(), first.size() + 2);
  EXPECT_THAT(std::vector<std::string>(received.begin(), received.begin() + first.size()),
              ElementsAreArray(first));
  EXPECT_EQ(received[received.size() - 2], "syst:mem:str24?");
  EXPECT_EQ(received.back(), "syst:mem:str8?");
}

TEST(ProgramEndToEnd, TraceShowsEveryOperation) {
  const ScriptedAnalyzer script = CompleteScript();
  ScriptedServer server(script);
  const ProgramResult result = RunMultitone(server.Address(), {"--trace"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const std::vector<std::string> trace = Lines(result.err);
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace.front(), "= Initialize selfadjustment");
  EXPECT_EQ(trace.back(), "= Close");
  std::vector<std::string> sent;
  int replies = 0;
  int blocks = 0;
  for (const std::string& line : trace) {
    if (line.starts_with("> ")) sent.push_back(line.substr(2));
    if (line.starts_with("< ")) ++replies;
    if (line == "< block of 8192 values") ++blocks;
  }
  EXPECT_TRUE(ClosedWithin(server, std::chrono::seconds(5)));
  EXPECT_THAT(sent, ElementsAreArray(server.Received())) << "every text sent, in order";
  EXPECT_EQ(replies, 12) << "10 replies and 2 blocks";
  EXPECT_EQ(blocks, 2);
  EXPECT_THAT(trace, ::testing::Contains("< V"));
}

TEST(ProgramEndToEnd, AMalformedBlockEndsTheRunWithOneErrorLine) {
  const ScriptedAnalyzer script = CompleteScript();
  LoopbackServer server(MisbehaveAt(script, "trac:load:fft_ay?", "#0" + std::string(8, '\0') + "\n"));
  const ProgramResult result = RunMultitone(server.Address());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "error 440: AcquireSpectra: block for trac:load:fft_ay?: indefinite-length block (#0) is "
            "not accepted\n");
}

TEST(ProgramEndToEnd, ATruncatedBlockEndsTheRunWithOneErrorLine) {
  const ScriptedAnalyzer script = CompleteScript();
  const std::string half = BlockBytes(std::vector<float>(8192, 0.0f)).substr(0, 7 + 10000);
  LoopbackServer server(MisbehaveAt(script, "trac:load:fft_by?", half));
  const ProgramResult result = RunMultitone(server.Address(), {}, "300");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "error 440: AcquireSpectra: block for trac:load:fft_by?: block ended after 10000 of 32768 "
            "bytes: the reply did not complete within the 300 ms timeout\n");
}

TEST(ProgramEndToEnd, AnAnalyzerThatClosesDuringTheRunEndsItWithOneErrorLine) {
  const ScriptedAnalyzer script = CompleteScript();
  LoopbackServer server(MisbehaveAt(script, "sens3:data?", ""));
  const ProgramResult result = RunMultitone(server.Address());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "error 440: MeasurePitch: reply to sens3:data?: connection closed by the analyzer\n");
}

TEST(ProgramEndToEnd, AnAnalyzerThatNeverAnswersEndsTheRunWithinTheTimeout) {
  const ScriptedAnalyzer silent;  // answers nothing at all
  ScriptedServer server(silent);
  const ProgramResult result = RunMultitone(server.Address(), {}, "300");
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "error 440: ConfigureAnalyzer: reply to SENS:UNIT?: the reply did not complete within the "
            "300 ms timeout; nothing at all has come back since connecting: the analyzer may be busy "
            "with another client\n");
}

TEST(ProgramEndToEnd, ARefusedConnectionEndsTheRunWithOneErrorLine) {
  const int port = UnusedPort();
  const ProgramResult result = RunMultitone("tcp://127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "error 440: ConfigureAnalyzer: connection refused by 127.0.0.1:" + std::to_string(port) + "\n");
}

TEST(ProgramEndToEnd, AMalformedAddressIsAUsageErrorBeforeAnythingRuns) {
  for (const std::string address : {"tcp://127.0.0.1:0", "tcp://:5025", "tcp://[::1", "serial:/dev/ttyS0"}) {
    SCOPED_TRACE(address);
    const ProgramResult result = RunMultitone(address);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, StartsWith("multitone: --analyzer: analyzer address '" + address + "' "));
    EXPECT_EQ(Lines(result.err).size(), 2u) << "the cause and the pointer to --help";
  }
}

}  // namespace
}  // namespace multitone::testing
