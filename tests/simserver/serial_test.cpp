// multitone over a serial line (ASRL/dev/pts/N::INSTR) to analyzer-sim
// --serial: the same memory strings as over the socket, run after run (each
// client that opens the line starts a session), and the line's terminator
// honoured both ways.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

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

// --serial DEVICE serves a terminal it is given (as one end of socat's pair):
// here the test holds the other side of a pseudo-terminal pair.
TEST(SerialServer, ServesATerminalItIsGiven) {
  int master = -1;
  int line = -1;
  char name[256] = "";
  ASSERT_EQ(::openpty(&master, &line, name, nullptr, nullptr), 0);
  ServerProcess server({"--serial", name});
  ASSERT_EQ(server.SerialPath(), name);
  ASSERT_EQ(::write(master, "*IDN?\n", 6), 6);
  std::string reply;
  while (reply.find('\n') == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    char buffer[256];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_THAT(reply, ::testing::StartsWith("multitone,"));
  EXPECT_THAT(reply, ::testing::EndsWith("\n"));
  EXPECT_EQ(reply.find('\r'), std::string::npos);  // raw: no CR added
  ::close(line);
  ::close(master);
}

}  // namespace
}  // namespace multitone::testing
