// analyzer-sim --vxi11 and multitone over VXI-11 (TCPIP::127.0.0.1::INSTR):
// a whole run gives the same memory strings as over the raw socket, a long
// command crosses in pieces as one message, and an
// analyzer that goes away or stops answering ends the run in error 440
// within the timeout. The core channel is found through the port mapper;
// the fault cases register a proxy there in analyzer-sim's place. One live
// server keeps the port mapper's entry.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <rpc/rpc.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/vxi11/vxi11.h"
#include "link/vxi11_transport.h"
#include "simserver/rpc_fault_proxy.h"
#include "simserver/memory_strings.h"
#include "simserver/server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

ProgramResult RunAgainst(const std::string& address, int timeout_ms = 10000) {
  return RunProgram({MULTITONE_BINARY, "--analyzer", address, "--timeout", std::to_string(timeout_ms)},
                    std::chrono::milliseconds(timeout_ms + 20000));
}

TEST(Vxi11Run, GivesTheSameMemoryStringsAsTheSocket) {
  ServerProcess server({"--vxi11", "--seed", "7", "--speed", "1.002"});
  ASSERT_NE(server.Port(), 0);
  const ProgramResult socket = RunAgainst("TCPIP::127.0.0.1::" + std::to_string(server.Port()) + "::SOCKET");
  ASSERT_EQ(socket.exit_code, 0) << socket.err;
  const std::vector<std::string> over_socket = MemoryStrings(server.Port());
  ASSERT_NE(over_socket[0], "\"\"");

  ClearMemoryStrings(server.Port());
  const ProgramResult vxi11 = RunAgainst("TCPIP::127.0.0.1::INSTR");
  ASSERT_EQ(vxi11.exit_code, 0) << vxi11.err;
  EXPECT_EQ(MemoryStrings(server.Port()), over_socket);
}

// A text longer than the link's maxRecvSize leaves in several device_write
// pieces, END on the last only: the analyzer sees one message.
TEST(Vxi11Transport, ALongTextCrossesInPiecesAsOneMessage) {
  ServerProcess server({"--vxi11"});
  ASSERT_NE(server.Vxi11Port(), 0);
  const std::string text(300 * 1024, 'x');
  auto link = OpenVxi11Transport("127.0.0.1", "inst0", std::chrono::seconds(20));
  link->Initialize("selfadjustment");
  link->Write("syst:mem:str9 \"" + text + "\"");
  link->Write("syst:mem:str9?;:syst:err?");
  EXPECT_EQ(link->Read(), "\"" + text + "\";0,\"No error\"");
  link->Close();
}

// The port the port mapper names for the core channel over TCP (0: none).
int RegisteredPort() {
  sockaddr_in mapper{};
  mapper.sin_family = AF_INET;
  mapper.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return ::pmap_getport(&mapper, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
}

// A second server refuses to start while the first serves, and leaves its
// entry alone; the entry of a server that was killed is taken over.
TEST(Vxi11Server, OneLiveServerKeepsThePortMapperEntry) {
  ServerProcess first({"--vxi11"});
  ASSERT_GT(first.Vxi11Port(), 0);
  const ProgramResult second =
      RunProgram({ANALYZER_SIM_BINARY, "--port", "0", "--vxi11"}, std::chrono::seconds(20));
  EXPECT_EQ(second.exit_code, 1) << second.out;
  EXPECT_THAT(second.err, ::testing::HasSubstr("another VXI-11 server is registered with the port "
                                               "mapper and serves on 127.0.0.1:" +
                                               std::to_string(first.Vxi11Port())));
  EXPECT_EQ(RegisteredPort(), first.Vxi11Port());

  first.Stop(SIGKILL);
  ServerProcess third({"--vxi11"});
  ASSERT_GT(third.Vxi11Port(), 0);
  EXPECT_EQ(RegisteredPort(), third.Vxi11Port());
}

// Behind the gateway every GPIB address is an analyzer with its own device
// and state; a run reaches each by its device name, and an address with
// nothing there fails at create_link, as on a real gateway.
TEST(Vxi11Gateway, EachGpibAddressIsAnAnalyzerOfItsOwn) {
  ServerProcess server({"--vxi11", "--gpib-gateway", "--gpib", "5:speed=1.0012", "--gpib", "7:speed=0.999"});
  ASSERT_NE(server.Vxi11Port(), 0);
  const struct {
    const char* address;
    const char* frequency;  // the reference tone as the analyzer there reads it
  } runs[] = {
      {"TCPIP::127.0.0.1::gpib0,5::INSTR", "< 1.00120000E+03\n"},
      {"TCPIP0::127.0.0.1::hpib,7::INSTR", "< 9.98999998E+02\n"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.address);
    const ProgramResult result = RunProgram(
        {MULTITONE_BINARY, "--analyzer", run.address, "--timeout", "10000", "--trace"}, std::chrono::seconds(30));
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_THAT(result.err, ::testing::HasSubstr("> sens3:data?\n" + std::string(run.frequency)));
  }
  EXPECT_EQ(MemoryStrings(server.Port())[0], "\"\"");  // inst0: no run went there

  const ProgramResult nobody = RunAgainst("TCPIP::127.0.0.1::gpib0,9::INSTR");
  EXPECT_EQ(nobody.exit_code, 1);
  EXPECT_THAT(nobody.err, ::testing::HasSubstr("error 440: ConfigureAnalyzer: opening VXI-11 link to gpib0,9 at "
                                               "127.0.0.1: create_link: device error 3 (device not accessible)"));
}

// Registers 127.0.0.1:port as the core channel with the port mapper.
void Register(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  netbuf where{sizeof address, sizeof address, &address};
  netconfig* config = ::getnetconfigent("tcp");
  ASSERT_NE(config, nullptr);
  ::rpcb_unset(DEVICE_CORE, DEVICE_CORE_VERSION, nullptr);
  EXPECT_TRUE(::rpcb_set(DEVICE_CORE, DEVICE_CORE_VERSION, config, &where));
  ::freenetconfigent(config);
}

constexpr int kFaultTimeoutMs = 2000;

void ExpectError440(RpcFaultProxy::Fault fault, std::size_t calls) {
  SCOPED_TRACE((fault == RpcFaultProxy::Fault::Cut ? "cut" : "stall") + std::string(" after ") +
               std::to_string(calls) + " calls");
  ServerProcess server({"--vxi11"});
  ASSERT_NE(server.Port(), 0);
  const int core = server.Vxi11Port();
  ASSERT_GT(core, 0);
  RpcFaultProxy proxy(core, calls, fault);
  Register(proxy.Port());
  const ProgramResult result = RunProgram(
      {MULTITONE_BINARY, "--analyzer", "TCPIP::127.0.0.1::INSTR", "--timeout", std::to_string(kFaultTimeoutMs)},
      // The run must end by its own timeout; this only bounds a hang.
      std::chrono::milliseconds(kFaultTimeoutMs + 8000));
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_THAT(result.err, ::testing::MatchesRegex("error 440: [A-Za-z]+: [^\n]+\n"));
  EXPECT_EQ(proxy.CallsPassed(), calls);
  Register(core);
}

// Calls of a run: create_link, then device_write and device_read in turn
// (about 55 in all). Cut at the link's creation, the first command, a
// query's read, a block's write and read, and late in the report.
TEST(Vxi11Run, ACutAtAnyPointEndsInError440) {
  for (const std::size_t calls : {0u, 1u, 6u, 30u, 31u, 50u}) ExpectError440(RpcFaultProxy::Fault::Cut, calls);
}

TEST(Vxi11Run, AStallEndsInError440WithinTheTimeout) {
  for (const std::size_t calls : {0u, 6u, 31u}) ExpectError440(RpcFaultProxy::Fault::Stall, calls);
}

}  // namespace
}  // namespace multitone::testing
