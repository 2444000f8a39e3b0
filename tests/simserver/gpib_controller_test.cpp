// The "++" GPIB controller: analyzer-sim's controller as bytes in and out,
// and multitone through it on the LAN (prologix://) and on USB (a serial
// line with gpib=ADDR), giving the same memory strings as over the socket.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/gpib_controller_transport.h"
#include "link/serial_stream.h"
#include "link/tcp_transport.h"
#include "simserver/gpib_controller.h"
#include "simserver/memory_strings.h"
#include "simserver/server_process.h"
#include "support/subprocess.h"

namespace multitone::testing {
namespace {

TEST(GpibController, TakesCommandsAndMessagesAsTheCommandFamilyDefines) {
  simserver::SharedAnalyzer five{sim::DeviceOptions{}};
  simserver::GpibController controller({{5, &five}});
  controller.StartSession();
  const std::string esc(1, '\x1b');
  const struct {
    std::string input;
    std::string output;
  } steps[] = {
      {"++ver\n", "analyzer-sim GPIB controller version 1.0\r\n"},
      {"++addr\r\n", "0\r\n"},
      {"*IDN?\n++read eoi\n", ""},  // nothing at address 0
      {"++addr 5\n++eos 3\n++addr\n++eos\n", "5\r\n3\r\n"},
      // Escaped CR, LF and "+" are data; the message ends at the unescaped LF.
      {"syst:mem:str3 'a" + esc + "+" + esc + "+b" + esc + "\rc'\n", ""},
      {"syst:mem:str3?\n++read eoi\n", "\"a++b\rc\"\n"},
      // A line that starts with an escaped "+" is a message, not a command.
      {esc + "+" + esc + "+ver\n++read eoi\n", ""},
      {"syst:err?\n++read eoi\n", "-113,\"Undefined header;++ver\"\n"},
      // Split anywhere, even between an escape and what it escapes.
      {"*OP", ""},
      {"C?\n++re", ""},
      {"ad eoi\n", "1\n"},
      {"syst:mem:str4 'x" + esc, ""},
      {"+'\nsyst:mem:str4?\n++read eoi\n", "\"x+\"\n"},
      // ++auto 1: the reply comes back at once.
      {"++auto 1\n*OPC?\n", "1\n"},
      // Device clear drops what is unread; the settings stay.
      {"++auto 0\nsens:ufil:att 12;*IDN?\n++clr\n++read eoi\n", ""},
      {"sens:ufil:att?\n++read eoi\n", "1.20000000E+01\n"},
      {"++spoll\n", "0\r\n"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.input);
    EXPECT_EQ(controller.Input(step.input), step.output);
  }
}

std::vector<std::string> MemoryStringsThrough(StreamConnector connect, int gpib) {
  auto link = OpenGpibControllerTransport(std::move(connect), GpibAddress{gpib, -1}, std::chrono::seconds(10));
  link->Initialize("selfadjustment");
  std::vector<std::string> strings;
  for (int i = 1; i <= 8; ++i) {
    link->Write("syst:mem:str" + std::to_string(i) + "?");
    strings.push_back(link->Read());
  }
  link->Close();
  return strings;
}

TEST(GpibControllerRun, GivesTheSameMemoryStringsAsTheSocketOnTheLanAndOnUsb) {
  const std::vector<std::string> device = {"--seed", "7", "--speed", "1.002"};
  ServerProcess reference(device);
  const ProgramResult socket = RunProgram({MULTITONE_BINARY, "--analyzer", reference.Address()}, std::chrono::seconds(30));
  ASSERT_EQ(socket.exit_code, 0) << socket.err;
  const std::vector<std::string> over_socket = MemoryStrings(reference.Port());

  for (const bool usb : {false, true}) {
    SCOPED_TRACE(usb ? "USB" : "LAN");
    std::vector<std::string> arguments = {"--prologix", "--gpib", "5:seed=7,speed=1.002", "--gpib", "9"};
    if (usb) arguments.insert(arguments.begin(), "--serial");
    if (!usb) arguments.insert(arguments.begin() + 1, "0");
    ServerProcess server(arguments);
    ASSERT_NE(server.Port(), 0);
    const std::string address = usb ? "ASRL" + server.SerialPath() + "::INSTR?baud=115200,gpib=5"
                                     : "prologix://127.0.0.1:" + std::to_string(server.ControllerPort()) + "/5";
    const ProgramResult run =
        RunProgram({MULTITONE_BINARY, "--analyzer", address, "--trace", "--timeout", "10000"}, std::chrono::seconds(30));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_THAT(run.err, ::testing::HasSubstr("= Initialize selfadjustment\n= GPIB controller: analyzer-sim GPIB "
                                              "controller version 1.0\n> DISP:FFT:A:UNIT:TRAC ON\n"));
    const StreamConnector connect = usb ? SerialConnector(server.SerialPath(), SerialSettings{}, std::chrono::seconds(10))
                                        : TcpConnector("127.0.0.1", server.ControllerPort(), std::chrono::seconds(10));
    EXPECT_EQ(MemoryStringsThrough(connect, 5), over_socket);
    EXPECT_EQ(MemoryStringsThrough(connect, 9)[0], "\"\"");  // the other analyzer on the bus was not touched
  }
}

}  // namespace
}  // namespace multitone::testing
