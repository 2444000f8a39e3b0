// Every --analyzer address: each string to its door and settings, or to error
// 429 naming what is wrong and the forms expected (or, for a near miss, what
// to type); and a socket address connects where it says.
#include "app/doors/analyzer_doors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "common/run_error.h"
#include "link/link_test_helpers.h"
#include "support/loopback_server.h"

namespace multitone::testing {
namespace {

using Parity = SerialSettings::Parity;
using Flow = SerialSettings::Flow;
using ::testing::HasSubstr;

struct Accepted {
  const char* text;
  const char* door;
  const char* where;  // host, path, or the simulator's options
  int port;
  const char* device;
  int gpib = -1;      // primary address, -1 for none
  int secondary = -1;
  SerialSettings serial = {};
};

SerialSettings Line(int baud, int bits, Parity parity, int stop, Flow flow, char term) {
  return SerialSettings{baud, bits, parity, stop, flow, term};
}

TEST(AnalyzerDoors, EachFormToItsDoorAndSettings) {
  const SerialSettings plain;
  const Accepted cases[] = {
      {"", "simulated", "", 0, ""},
      {"sim", "simulated", "", 0, ""},
      {"sim:speed=1.0012,seed=7", "simulated", "speed=1.0012,seed=7", 0, ""},
      {"replay:run.jsonl", "replay", "run.jsonl", 0, ""},
      {"tcp://127.0.0.1", "socket", "127.0.0.1", 5025, ""},
      {"tcp://analyzer-7:5026", "socket", "analyzer-7", 5026, ""},
      {"tcp://127.0.0.1:05025", "socket", "127.0.0.1", 5025, ""},
      {"tcp://[::1]:80", "socket", "::1", 80, ""},
      {"tcp://[::1]", "socket", "::1", 5025, ""},
      {"TCPIP::127.0.0.1::5025::SOCKET", "socket", "127.0.0.1", 5025, ""},
      {"tcpip0::analyzer.lab::1::socket", "socket", "analyzer.lab", 1, ""},
      {"TCPIP::[::1]::65535::SOCKET", "socket", "::1", 65535, ""},
      {"TCPIP::127.0.0.1::INSTR", "vxi11", "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1", "vxi11", "127.0.0.1", 0, "inst0"},
      {"TCPIP1::127.0.0.1::INST2::instr", "vxi11", "127.0.0.1", 0, "INST2"},
      {"TCPIP::[fe80::1%eth0]::INSTR", "vxi11", "fe80::1%eth0", 0, "inst0"},
      {"TCPIP::gw-3::gpib0,5::INSTR", "vxi11", "gw-3", 0, "gpib0,5"},
      {"TCPIP0::gw-3::GPIB1,30,2::INSTR", "vxi11", "gw-3", 0, "GPIB1,30,2"},
      {"TCPIP::gw-3::hpib,7::INSTR", "vxi11", "gw-3", 0, "hpib,7"},
      {"TCPIP::gw-3::gpib,7", "vxi11", "gw-3", 0, "gpib,7"},
      {"TCPIP::127.0.0.1::hislip0::INSTR", "hislip", "127.0.0.1", 4880, "hislip0"},
      {"tcpip3::analyzer.lab::HISLIP12,5000", "hislip", "analyzer.lab", 5000, "HISLIP12"},
      {"TCPIP::[::1]::hislip0,65535::instr", "hislip", "::1", 65535, "hislip0"},
      {"ASRL/dev/ttyUSB0::INSTR", "serial", "/dev/ttyUSB0", 0, "", -1, -1, plain},
      {"asrl/dev/pts/4::instr", "serial", "/dev/pts/4", 0, "", -1, -1, plain},
      {"ASRL/dev/ttyS1::INSTR?baud=115200,parity=even,bits=7,stop=2,flow=rtscts,term=cr", "serial", "/dev/ttyS1", 0,
       "", -1, -1, Line(115200, 7, Parity::Even, 2, Flow::RtsCts, '\r')},
      {"ASRL/dev/ttyS1::INSTR?flow=xonxoff,parity=mark", "serial", "/dev/ttyS1", 0, "", -1, -1,
       Line(9600, 8, Parity::Mark, 1, Flow::XonXoff, '\n')},
      {"prologix://gpib-lan/5", "gpib controller on the LAN", "gpib-lan", 1234, "", 5},
      {"prologix://10.0.0.9:4000/30,2", "gpib controller on the LAN", "10.0.0.9", 4000, "", 30, 2},
      {"prologix://[::1]/0", "gpib controller on the LAN", "::1", 1234, "", 0},
      {"ASRL/dev/ttyACM0::INSTR?gpib=7", "gpib controller on USB", "/dev/ttyACM0", 0, "", 7, -1, plain},
      {"ASRL/dev/ttyACM0::INSTR?baud=115200,gpib=12", "gpib controller on USB", "/dev/ttyACM0", 0, "", 12, -1,
       Line(115200, 8, Parity::None, 1, Flow::None, '\n')},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    const DoorAddress parsed = ParseAnalyzerAddress(c.text);
    const AnalyzerAddress& a = parsed.address;
    EXPECT_EQ(parsed.door->name, c.door);
    EXPECT_EQ(parsed.door->simulated, std::string_view(c.door) == "simulated" || std::string_view(c.door) == "replay");
    EXPECT_EQ(a.text, c.text);
    const bool on_a_line = !a.path.empty();
    EXPECT_EQ(std::string_view(c.door) == "simulated" ? a.sim_options : on_a_line ? a.path : a.host, c.where);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.device, c.device);
    if (c.gpib >= 0) {
      EXPECT_EQ(a.gpib.primary, c.gpib);
      EXPECT_EQ(a.gpib.secondary, c.secondary);
    }
    if (on_a_line && std::string_view(c.door) != "replay") {
      EXPECT_EQ(a.serial.baud, c.serial.baud);
      EXPECT_EQ(a.serial.data_bits, c.serial.data_bits);
      EXPECT_EQ(a.serial.parity, c.serial.parity);
      EXPECT_EQ(a.serial.stop_bits, c.serial.stop_bits);
      EXPECT_EQ(a.serial.flow, c.serial.flow);
      EXPECT_EQ(a.serial.termination, c.serial.termination);
    }
  }
}

TEST(AnalyzerDoors, AStringItCannotUseIsError429NamingTheForms) {
  const std::pair<const char*, const char*> refused[] = {
      {"simulator", "is of no known form"},
      {"http://127.0.0.1:5025", "is of no known form"},
      {"tcp:/127.0.0.1", "is of no known form"},
      {"tcp://", "names no host"},
      {"tcp://:5025", "names no host"},
      {"tcp://[]:5025", "names no host"},
      {"tcp://127.0.0.1:", "has an empty port"},
      {"tcp://[::1]:", "has an empty port"},
      {"tcp://127.0.0.1:0", "has an invalid port '0'"},
      {"tcp://127.0.0.1:65536", "has an invalid port '65536'"},
      {"tcp://127.0.0.1:-1", "has an invalid port '-1'"},
      {"tcp://127.0.0.1:+80", "has an invalid port '+80'"},
      {"tcp://127.0.0.1: 80", "has an invalid port ' 80'"},
      {"tcp://127.0.0.1:99999999999", "has an invalid port '99999999999'"},
      {"tcp://[::1", "lacks ']'"},
      {"tcp://[::1]5025", "is malformed"},
      {"tcp://::1", "is malformed (an IPv6 host goes in brackets"},
      {"tcp://fe80::1%eth0", "is malformed (an IPv6 host goes in brackets"},
      {"tcp://127.0.0.1/inst0", "is malformed"},
      {"tcp://user@127.0.0.1", "is malformed"},
      {"tcp://127.0.0.1 :5025", "is malformed"},
      {"replay:", "names no record file"},
      {"TCPIP", "names no host"},
      {"TCPIP::::INSTR", "names no host"},
      {"TCPIPX::127.0.0.1::INSTR", "does not start with TCPIP or TCPIPn"},
      {"TCPIP::127.0.0.1::SOCKET", "is not HOST::PORT::SOCKET"},
      {"TCPIP::127.0.0.1::65536::SOCKET", "has an invalid port '65536'"},
      {"TCPIP::127.0.0.1::+80::SOCKET", "has an invalid port '+80'"},
      {"TCPIP::127.0.0.1::inst0::INSTR::INSTR", "has too many fields"},
      {"TCPIP::127.0.0.1::instX::INSTR", "names device 'instX'"},
      {"TCPIP::127.0.0.1::hislip::INSTR", "names device 'hislip', not hislipN[,PORT]"},
      {"TCPIP::127.0.0.1::hislipX,4880::INSTR", "names device 'hislipX,4880', not hislipN[,PORT]"},
      {"TCPIP::127.0.0.1::hislip0,::INSTR", "has an empty port"},
      {"TCPIP::127.0.0.1::hislip0,0::INSTR", "has an invalid port '0'"},
      {"TCPIP::127.0.0.1::hislip0,4880,1::INSTR", "has an invalid port '4880,1'"},
      {"TCPIP::127.0.0.1::hislip0::INSTR::INSTR", "has too many fields"},
      {"TCPIP::gw::gpib0::INSTR", "names device 'gpib0'"},
      {"TCPIP::gw::gpibX,5::INSTR", "names device 'gpibX,5'"},
      {"TCPIP::gw::gpib0,31::INSTR", "has GPIB address '31', not 0 to 30"},
      {"TCPIP::gw::gpib0,5,31::INSTR", "has secondary GPIB address '31'"},
      {"TCPIP::gw::gpib0,::INSTR", "has GPIB address ''"},
      {"TCPIP::::1::INSTR", "names no host"},
      {"TCPIP::fe80:1::INSTR", "has an IPv6 host without brackets"},
      {"TCPIP::[::1::INSTR", "has a malformed IPv6 host"},
      {"ASRL/dev/ttyUSB0", "does not end in ::INSTR"},
      {"ASRL1::INSTR", "names no serial port path"},
      {"ASRL::INSTR", "names no serial port path"},
      {"ASRL/dev/ttyS0::INSTR?baud=1234", "has baud='1234', not a standard rate"},
      {"ASRL/dev/ttyS0::INSTR?baud=", "has baud='', not a standard rate"},
      {"ASRL/dev/ttyS0::INSTR?bits=9", "has bits='9', not 5 to 8"},
      {"ASRL/dev/ttyS0::INSTR?parity=EVEN", "has parity='EVEN', not none, even"},
      {"ASRL/dev/ttyS0::INSTR?stop=1.5", "has stop='1.5', not 1 or 2"},
      {"ASRL/dev/ttyS0::INSTR?flow=dtr", "has flow='dtr', not none, rtscts or xonxoff"},
      {"ASRL/dev/ttyS0::INSTR?term=crlf", "has term='crlf', not lf or cr"},
      {"ASRL/dev/ttyS0::INSTR?gpib=31", "has GPIB address '31'"},
      {"ASRL/dev/ttyS0::INSTR?speed=9600", "has an unknown setting 'speed'"},
      {"ASRL/dev/ttyS0::INSTR?baud", "has a setting 'baud' without ="},
      {"ASRL/dev/ttyS0::INSTR?", "has a setting '' without ="},
      {"ASRL/dev/ttyS0::INSTR?baud=9600,baud=19200", "sets baud twice"},
      {"prologix://gpib-lan", "names no GPIB address"},
      {"prologix://gpib-lan/", "has GPIB address ''"},
      {"prologix://gpib-lan/5,", "has secondary GPIB address ''"},
      {"prologix:///5", "names no host"},
      {"prologix://gpib-lan:0/5", "has an invalid port '0'"},
  };
  for (const auto& [text, problem] : refused) {
    SCOPED_TRACE(text);
    try {
      ParseAnalyzerAddress(text);
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated);
      EXPECT_THAT(error.Description(),
                  ::testing::StartsWith("analyzer address '" + std::string(text) + "' " + problem));
      EXPECT_THAT(error.Description(), ::testing::EndsWith("(expected " + std::string(AnalyzerAddressForms()) + ")"));
      EXPECT_EQ(WhyAnalyzerAddressIsRefused(text), error.Description());
    }
  }
}

TEST(AnalyzerDoors, ANearMissSaysWhatToType) {
  const std::pair<const char*, const char*> near[] = {
      {"TCP://10.0.0.7:5025", "did you mean 'tcp://10.0.0.7:5025'? (the scheme is written in lower case)"},
      {"PROLOGIX://gpib-lan/5", "did you mean 'prologix://gpib-lan/5'?"},
      {"Replay:run.jsonl", "did you mean 'replay:run.jsonl'?"},
      {"SIM:seed=3", "did you mean 'sim:seed=3'?"},
      {"GPIB0::5::INSTR",
       "a GPIB address is reached through a LAN/GPIB gateway (TCPIP::GATEWAY::gpib0,5::INSTR) or a ++ GPIB "
       "controller (prologix://HOST/5 on the LAN, ASRL/dev/ttyUSB0::INSTR?gpib=5 on USB)"},
      {"USB0::0x1234::0x5678::SN1::INSTR", "USB instruments (USBTMC) are not reached here"},
      {"10.0.0.7:5025", "did you mean 'tcp://10.0.0.7:5025'? (a raw socket)"},
  };
  for (const auto& [text, hint] : near) {
    SCOPED_TRACE(text);
    EXPECT_THAT(WhyAnalyzerAddressIsRefused(text),
                ::testing::AllOf(::testing::StartsWith("analyzer address '" + std::string(text) + "' is of no known form; "),
                                 HasSubstr(hint), ::testing::Not(HasSubstr("(expected"))));
  }
}

TEST(AnalyzerDoors, ASimulatedDeviceItCannotBuildIsRefusedWhenParsed) {
  EXPECT_THAT(WhyAnalyzerAddressIsRefused("sim:speed=1,speed=2"),
              ::testing::StartsWith("simulated analyzer 'sim:speed=1,speed=2': "));
  EXPECT_THAT(WhyAnalyzerAddressIsRefused("sim:nonsense=1"), HasSubstr("nonsense"));
}

// The first line that reaches a loopback server when a run's link connects
// through before + its port + after.
std::string ReceivedThrough(const std::string& before, const std::string& after) {
  std::optional<std::string> line;
  Finished finished;
  LoopbackServer server([&](ServerConnection& c) {
    line = c.ReadLine();
    finished.Signal();
  });
  const std::string address = before + std::to_string(server.Port()) + after;
  auto link = OpenAnalyzerTransport(ParseAnalyzerAddress(address), DoorContext{std::chrono::seconds(2)});
  link->Initialize("selfadjustment");
  link->Write("*CLS");
  link->Close();
  EXPECT_TRUE(finished.Wait());
  return line.value_or("(nothing)");
}

TEST(AnalyzerDoors, ASocketAddressConnectsWhereItSays) {
  // "localhost" may resolve to ::1 before 127.0.0.1, where the server listens:
  // each of a name's addresses is tried.
  const std::pair<const char*, const char*> forms[] = {
      {"tcp://127.0.0.1:", ""}, {"tcp://localhost:", ""}, {"TCPIP0::127.0.0.1::", "::SOCKET"}};
  for (const auto& [before, after] : forms) {
    SCOPED_TRACE(before);
    EXPECT_EQ(ReceivedThrough(before, after), "*CLS");
  }
}

TEST(AnalyzerDoors, AHostThatCannotBeResolvedIsError429) {
  try {
    OpenAnalyzerTransport(ParseAnalyzerAddress("tcp://no-such-analyzer.invalid"), DoorContext{std::chrono::seconds(2)});
    ADD_FAILURE() << "opened";
  } catch (const RunError& error) {
    EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated);
    EXPECT_THAT(error.Description(), HasSubstr("cannot resolve analyzer host 'no-such-analyzer.invalid'"));
  }
}

}  // namespace
}  // namespace multitone::testing
