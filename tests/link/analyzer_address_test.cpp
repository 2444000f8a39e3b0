// Every --analyzer address: each string to its kind and settings, or to
// error 429 naming the forms expected.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/run_error.h"
#include "link/analyzer_address.h"

namespace multitone {
namespace {

using Kind = AnalyzerAddress::Kind;
using Parity = SerialSettings::Parity;
using Flow = SerialSettings::Flow;

struct Accepted {
  const char* text;
  Kind kind;
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

TEST(AnalyzerAddress, EachFormToItsKindAndSettings) {
  const SerialSettings plain;
  const Accepted cases[] = {
      {"", Kind::Simulated, "", 0, ""},
      {"sim", Kind::Simulated, "", 0, ""},
      {"sim:speed=1.0012,seed=7", Kind::Simulated, "speed=1.0012,seed=7", 0, ""},
      {"tcp://127.0.0.1", Kind::Socket, "127.0.0.1", 5025, ""},
      {"tcp://analyzer-7:5026", Kind::Socket, "analyzer-7", 5026, ""},
      {"tcp://[::1]:80", Kind::Socket, "::1", 80, ""},
      {"TCPIP::127.0.0.1::5025::SOCKET", Kind::Socket, "127.0.0.1", 5025, ""},
      {"tcpip0::analyzer.lab::1::socket", Kind::Socket, "analyzer.lab", 1, ""},
      {"TCPIP::[::1]::65535::SOCKET", Kind::Socket, "::1", 65535, ""},
      {"TCPIP::127.0.0.1::INSTR", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP1::127.0.0.1::INST2::instr", Kind::Vxi11, "127.0.0.1", 0, "INST2"},
      {"TCPIP::[fe80::1%eth0]::INSTR", Kind::Vxi11, "fe80::1%eth0", 0, "inst0"},
      {"TCPIP::gw-3::gpib0,5::INSTR", Kind::Vxi11, "gw-3", 0, "gpib0,5"},
      {"TCPIP0::gw-3::GPIB1,30,2::INSTR", Kind::Vxi11, "gw-3", 0, "GPIB1,30,2"},
      {"TCPIP::gw-3::hpib,7::INSTR", Kind::Vxi11, "gw-3", 0, "hpib,7"},
      {"TCPIP::gw-3::gpib,7", Kind::Vxi11, "gw-3", 0, "gpib,7"},
      {"TCPIP::127.0.0.1::hislip0::INSTR", Kind::Hislip, "127.0.0.1", 4880, "hislip0"},
      {"tcpip3::analyzer.lab::HISLIP12,5000", Kind::Hislip, "analyzer.lab", 5000, "HISLIP12"},
      {"TCPIP::[::1]::hislip0,65535::instr", Kind::Hislip, "::1", 65535, "hislip0"},
      {"ASRL/dev/ttyUSB0::INSTR", Kind::Serial, "/dev/ttyUSB0", 0, "", -1, -1, plain},
      {"asrl/dev/pts/4::instr", Kind::Serial, "/dev/pts/4", 0, "", -1, -1, plain},
      {"ASRL/dev/ttyS1::INSTR?baud=115200,parity=even,bits=7,stop=2,flow=rtscts,term=cr", Kind::Serial,
       "/dev/ttyS1", 0, "", -1, -1, Line(115200, 7, Parity::Even, 2, Flow::RtsCts, '\r')},
      {"ASRL/dev/ttyS1::INSTR?flow=xonxoff,parity=mark", Kind::Serial, "/dev/ttyS1", 0, "", -1, -1,
       Line(9600, 8, Parity::Mark, 1, Flow::XonXoff, '\n')},
      {"prologix://gpib-lan/5", Kind::GpibController, "gpib-lan", 1234, "", 5},
      {"prologix://10.0.0.9:4000/30,2", Kind::GpibController, "10.0.0.9", 4000, "", 30, 2},
      {"prologix://[::1]/0", Kind::GpibController, "::1", 1234, "", 0},
      {"ASRL/dev/ttyACM0::INSTR?gpib=7", Kind::GpibController, "/dev/ttyACM0", 0, "", 7, -1, plain},
      {"ASRL/dev/ttyACM0::INSTR?baud=115200,gpib=12", Kind::GpibController, "/dev/ttyACM0", 0, "", 12, -1,
       Line(115200, 8, Parity::None, 1, Flow::None, '\n')},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    const AnalyzerAddress a = ParseAnalyzerAddress(c.text);
    EXPECT_EQ(a.kind, c.kind);
    EXPECT_EQ(a.text, c.text);
    const bool on_a_line = !a.path.empty();
    EXPECT_EQ(c.kind == Kind::Simulated ? a.sim_options : on_a_line ? a.path : a.host, c.where);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.device, c.device);
    if (c.gpib >= 0) {
      EXPECT_EQ(a.gpib.primary, c.gpib);
      EXPECT_EQ(a.gpib.secondary, c.secondary);
    }
    if (on_a_line) {
      EXPECT_EQ(a.serial.baud, c.serial.baud);
      EXPECT_EQ(a.serial.data_bits, c.serial.data_bits);
      EXPECT_EQ(a.serial.parity, c.serial.parity);
      EXPECT_EQ(a.serial.stop_bits, c.serial.stop_bits);
      EXPECT_EQ(a.serial.flow, c.serial.flow);
      EXPECT_EQ(a.serial.termination, c.serial.termination);
    }
  }
}

TEST(AnalyzerAddress, AStringItCannotUseIsError429NamingTheForms) {
  const std::pair<const char*, const char*> refused[] = {
      {"simulator", "is of no known form"},
      {"127.0.0.1:5025", "is of no known form"},
      {"TCP://127.0.0.1", "is of no known form"},
      {"GPIB0::5::INSTR", "is of no known form"},
      {"tcp://", "names no host"},
      {"tcp://127.0.0.1:0", "has an invalid port '0'"},
      {"tcp://::1", "is malformed (an IPv6 host goes in brackets"},
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
    }
  }
}

}  // namespace
}  // namespace multitone
