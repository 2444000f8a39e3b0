// multitone over a serial line (ASRL/dev/pts/N::INSTR) to analyzer-sim
// --serial: the same memory strings as over the socket, run after run (each
// client that opens the line starts a session), and the line's terminator
// honoured both ways.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "simserver/memory_strings.h"
#include "simserver/server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

ProgramResult RunAgainst(const std::string& address, int timeout_ms = 10000) {
  return RunProgram({MULTITONE_BINARY, "--analyzer", address, "--timeout", std::to_string(timeout_ms)},
                    std::chrono::milliseconds(timeout_ms + 20000));
}

TEST(SerialRun, GivesTheSameMemoryStringsAsTheSocketRunAfterRun) {
  ServerProcess server({"--serial", "--seed", "7", "--speed", "1.002"});
  ASSERT_FALSE(server.SerialPath().empty());
  const ProgramResult socket = RunAgainst(server.Address());
  ASSERT_EQ(socket.exit_code, 0) << socket.err;
  const std::vector<std::string> over_socket = MemoryStrings(server.Port());
  ASSERT_NE(over_socket[0], "\"\"");
  for (const char* settings : {"?baud=115200", "?baud=9600,bits=8,parity=none,stop=1,flow=none,term=lf"}) {
    SCOPED_TRACE(settings);
    ClearMemoryStrings(server.Port());
    const ProgramResult serial = RunAgainst("ASRL" + server.SerialPath() + "::INSTR" + settings);
    ASSERT_EQ(serial.exit_code, 0) << serial.err;
    EXPECT_EQ(MemoryStrings(server.Port()), over_socket);
  }
}

TEST(SerialRun, TheLinesTerminatorEndsEveryMessageBothWays) {
  const struct {
    const char* server;   // --termination
    const char* address;  // term=
    int exit_code;
    const char* error;
  } cases[] = {
      {"cr", "cr", 0, ""},
      {"lf", "lf", 0, ""},
      // Replies end in CR: a link that waits for LF never sees one end.
      {"cr", "lf", 1, "error 440: ConfigureAnalyzer: reply to SENS:UNIT?: reply ended after 4 bytes: the reply "
                      "did not complete within the 1000 ms timeout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " / " + c.address);
    ServerProcess server({"--serial", "--termination", c.server});
    ASSERT_FALSE(server.SerialPath().empty());
    const ProgramResult run =
        RunAgainst("ASRL" + server.SerialPath() + "::INSTR?term=" + std::string(c.address), 1000);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_THAT(run.err, ::testing::HasSubstr(c.error));
  }
}

TEST(SerialRun, APathThatIsNoSerialPortIsError440) {
  const ProgramResult run = RunAgainst("ASRL/dev/null::INSTR", 1000);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, ::testing::HasSubstr("error 440: ConfigureAnalyzer: /dev/null is not a serial port"));
}

}  // namespace
}  // namespace multitone::testing
