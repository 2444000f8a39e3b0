// analyzer-sim --hislip and multitone over HiSLIP
// (TCPIP::127.0.0.1::hislip0,PORT::INSTR): a whole run leaves the same
// memory strings as over the raw socket, in every mode and with messages
// small enough to split everything; a unit whose reply never came clears
// the analyzer and the next unit is clean; a second client meets the first
// one's lock as a clear error.
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/hislip_transport.h"
#include "run/run_measurement.h"
#include "sim/device_options.h"
#include "simserver/hislip_server.h"
#include "simserver/memory_strings.h"
#include "simserver/server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

using ::testing::HasSubstr;

ProgramResult RunOver(const std::string& address, const std::vector<std::string>& more = {}) {
  std::vector<std::string> argv = {MULTITONE_BINARY, "--analyzer", address};
  argv.insert(argv.end(), more.begin(), more.end());
  return RunProgram(argv, std::chrono::seconds(60));
}

TEST(HislipRun, GivesTheSameMemoryStringsAsTheSocketAndTracesItsMessages) {
  ServerProcess server({"--hislip", "0", "--seed", "7", "--speed", "1.002"});
  ASSERT_NE(server.HislipPort(), 0);
  const ProgramResult socket = RunOver(server.Address());
  ASSERT_EQ(socket.exit_code, 0) << socket.err;
  const std::vector<std::string> over_socket = MemoryStrings(server.Port());
  ASSERT_NE(over_socket[0], "\"\"");

  ClearMemoryStrings(server.Port());
  const ProgramResult hislip = RunOver(server.HislipAddress(), {"--trace"});
  ASSERT_EQ(hislip.exit_code, 0) << hislip.err;
  EXPECT_EQ(MemoryStrings(server.Port()), over_socket);
  EXPECT_THAT(hislip.err, HasSubstr("= Initialize selfadjustment\n"
                                    "~ sync > Initialize version 2.0, vendor \"MT\", sub-address \"hislip0\"\n"
                                    "~ sync < InitializeResponse version 2.0, session 1, synchronized mode preferred\n"));
  EXPECT_THAT(hislip.err, HasSubstr("= HiSLIP 2.0, session 1, synchronized mode, messages up to 1048576 bytes\n"));
  EXPECT_THAT(hislip.err, HasSubstr("> SENS:UNIT?\n~ sync > DataEND message 0xFFFFFF04, 10 bytes\n"
                                    "~ sync < DataEND message 0xFFFFFF04, 2 bytes\n< V\n"));
}

// With --realtime an acquisition takes 0.34 s. A query behind eight of them
// runs out of its second: the analyzer is cleared, so the next query is
// answered as soon as the acquisition under way ends (uncleared, the queue
// would take 2.7 s), by its own reply; and the next unit gives what a unit on
// the socket gave.
TEST(HislipRun, AUnitThatTimedOutIsClearedAndTheNextIsClean) {
  ServerProcess server({"--hislip", "0", "--realtime", "--seed", "3"});
  ASSERT_NE(server.HislipPort(), 0);
  ASSERT_EQ(RunOver(server.Address()).exit_code, 0);
  const std::vector<std::string> over_socket = MemoryStrings(server.Port());
  ClearMemoryStrings(server.Port());
  {
    HislipSettings settings;
    settings.host = "127.0.0.1";
    settings.port = server.HislipPort();
    settings.timeout = std::chrono::seconds(1);
    std::unique_ptr<Transport> link = OpenHislipTransport(settings);
    link->Initialize("");
    for (int i = 0; i < 8; ++i) link->Write("init:cont off;*wai");
    link->Write("sens3:data?");
    try {
      link->Read();
      ADD_FAILURE() << "a reply within the second";
    } catch (const RunError& error) {
      EXPECT_THAT(error.Description(), ::testing::MatchesRegex("reply to sens3:data\\?: the reply did not complete "
                                                               "within the 1000 ms timeout; status byte "
                                                               "0x[0-9A-F]{2}; device clear done"));
    }
    link->Write("SENS:UNIT?");
    EXPECT_EQ(link->Read(), "V");
  }  // dropped as a failed run drops it: the server releases its lock
  const ProgramResult next = RunOver(server.HislipAddress());
  ASSERT_EQ(next.exit_code, 0) << next.err;
  EXPECT_EQ(MemoryStrings(server.Port()), over_socket);
}

// An analyzer that offers HiSLIP and no raw socket.
TEST(HislipRun, ReachesAnAnalyzerWithoutARawSocket) {
  ServerProcess server({"--no-socket", "--hislip", "0"});
  ASSERT_NE(server.HislipPort(), 0);
  EXPECT_EQ(server.Port(), 0);
  const ProgramResult run = RunOver(server.HislipAddress());
  EXPECT_EQ(run.exit_code, 0) << run.err;
}

// One client holds the exclusive lock for its whole unit: a second station
// on the same analyzer waits a while and then gets a clear error instead of
// sending its commands between the first one's; once the lock is released
// its unit runs.
TEST(HislipLock, ASecondClientGetsAClearErrorWhileTheFirstHoldsTheLock) {
  ServerProcess server({"--hislip", "0"});
  ASSERT_NE(server.HislipPort(), 0);
  HislipSettings settings;
  settings.host = "127.0.0.1";
  settings.port = server.HislipPort();
  std::unique_ptr<Transport> first = OpenHislipTransport(settings);
  first->Initialize("");

  const ProgramResult second = RunOver(server.HislipAddress(), {"--timeout", "800"});
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_THAT(second.err, ::testing::StartsWith("error 440: ConfigureAnalyzer: opening HiSLIP session hislip0 at "
                                                "127.0.0.1:" + std::to_string(server.HislipPort()) +
                                                ": the analyzer is locked by another client (no exclusive lock "
                                                "within "));
  first->Write("SENS:UNIT?");
  EXPECT_EQ(first->Read(), "DBV");  // the second client set nothing meanwhile
  first->Close();
  const ProgramResult after = RunOver(server.HislipAddress());
  EXPECT_EQ(after.exit_code, 0) << after.err;
}

// The server in this process, so that its modes and sizes can be chosen.
class ServerInProcess {
 public:
  explicit ServerInProcess(const simserver::HislipServerSettings& settings)
      : shared_(sim::ParseDeviceOptions("seed=5,speed=0.999")), server_(shared_, nullptr, settings) {
    if (::pipe(stop_) != 0) ADD_FAILURE() << "no pipe";
    thread_ = std::thread([this] { server_.Serve(stop_[0]); });
  }
  ~ServerInProcess() {
    [[maybe_unused]] const ssize_t n = ::write(stop_[1], "x", 1);
    thread_.join();
    ::close(stop_[0]);
    ::close(stop_[1]);
  }
  int Port() const { return std::stoi(server_.Address().substr(server_.Address().rfind(':') + 1)); }

 private:
  simserver::SharedAnalyzer shared_;
  simserver::HislipServer server_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

HislipSettings ClientOf(const ServerInProcess& server, std::uint64_t max_message) {
  HislipSettings settings;
  settings.host = "127.0.0.1";
  settings.port = server.Port();
  settings.max_message = max_message;
  return settings;
}

// A whole run, then memory strings 1 to 8 read and cleared.
std::vector<std::string> RunAndTakeStrings(const HislipSettings& settings) {
  MeasurementRecord record;
  record.CreateAnalyzer = [&] { return std::make_unique<AnalyzerLink>(OpenHislipTransport(settings)); };
  RunMeasurement(record);
  std::unique_ptr<Transport> link = OpenHislipTransport(settings);
  link->Initialize("");
  std::vector<std::string> strings;
  for (int i = 1; i <= 8; ++i) {
    link->Write("syst:mem:str" + std::to_string(i) + "?;:syst:mem:str" + std::to_string(i) + " \"\"");
    strings.push_back(link->Read());
  }
  link->Close();
  return strings;
}

TEST(HislipServer, EveryModeAndMessageSizeGivesTheSameRun) {
  std::vector<std::string> plain;
  {
    ServerInProcess server({.port = 0});
    plain = RunAndTakeStrings(ClientOf(server, kHislipMaxMessage));
  }
  ASSERT_NE(plain[0], "\"\"");
  const struct {
    const char* name;
    simserver::HislipServerSettings server;
    std::uint64_t client_max;
  } cases[] = {
      // 48 bytes of payload a message: every command, reply and block in pieces.
      {"small messages both ways", {.port = 0, .max_message = 64}, 64},
      {"a server that prefers overlapped mode", {.port = 0, .prefer_overlapped = true}, kHislipMaxMessage},
      {"a server that stays overlapped", {.port = 0, .overlapped_only = true}, kHislipMaxMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ServerInProcess server(c.server);
    EXPECT_EQ(RunAndTakeStrings(ClientOf(server, c.client_max)), plain);
  }
}

}  // namespace
}  // namespace multitone::testing
