// VISA resource strings in --analyzer: each form to its transport and
// where it leads, or to error 429 naming the forms expected.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/run_error.h"
#include "link/visa_address.h"

namespace multitone {
namespace {

using Kind = VisaAddress::Kind;

struct Accepted {
  const char* address;
  Kind kind;
  const char* host;
  int port;            // Socket
  const char* device;  // Vxi11
};

TEST(VisaAddress, EachFormLeadsToItsTransport) {
  const Accepted cases[] = {
      {"TCPIP::127.0.0.1::5025::SOCKET", Kind::Socket, "127.0.0.1", 5025, ""},
      {"TCPIP0::analyzer.lab::5025::SOCKET", Kind::Socket, "analyzer.lab", 5025, ""},
      {"tcpip::127.0.0.1::1::socket", Kind::Socket, "127.0.0.1", 1, ""},
      {"TCPIP::[::1]::65535::SOCKET", Kind::Socket, "::1", 65535, ""},
      {"TCPIP::127.0.0.1::INSTR", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP1::127.0.0.1::inst0", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1::inst0::INSTR", Kind::Vxi11, "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1::INST2::instr", Kind::Vxi11, "127.0.0.1", 0, "inst2"},
      {"TCPIP::[fe80::1%eth0]::INSTR", Kind::Vxi11, "fe80::1%eth0", 0, "inst0"},
      {"TcpIp::localhost::Instr", Kind::Vxi11, "localhost", 0, "inst0"},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.address);
    const VisaAddress a = ParseVisaAddress(c.address);
    EXPECT_EQ(a.kind, c.kind);
    EXPECT_EQ(a.host, c.host);
    EXPECT_EQ(a.port, c.port);
    EXPECT_EQ(a.device, c.device);
  }
}

TEST(VisaAddress, AStringItCannotUseIsError429NamingTheForms) {
  const char* const refused[] = {
      "TCPIP",                                // no host
      "TCPIP::",                              // empty host
      "TCPIP::::INSTR",                       // empty host
      "TCPIPX::127.0.0.1::INSTR",             // board is not a number
      "TCPIP::127.0.0.1::SOCKET",             // no port
      "TCPIP::127.0.0.1::0::SOCKET",          // port out of range
      "TCPIP::127.0.0.1::65536::SOCKET",
      "TCPIP::127.0.0.1::+80::SOCKET",
      "TCPIP::127.0.0.1::50x::SOCKET",
      "TCPIP::127.0.0.1::5025::5025::SOCKET",  // a field too many
      "TCPIP::127.0.0.1::gpib0,5::INSTR",      // a device we do not reach
      "TCPIP::127.0.0.1::instX::INSTR",
      "TCPIP::127.0.0.1::inst0::INSTR::INSTR",
      "TCPIP::127.0.0.1::HISLIP0::INSTR",
      "TCPIP::::1::INSTR",                     // IPv6 without brackets
      "TCPIP::[::1::INSTR",                    // missing ]
      "TCPIP::a/b::INSTR",
  };
  for (const char* address : refused) {
    SCOPED_TRACE(address);
    try {
      ParseVisaAddress(address);
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::LinkCannotBeCreated);
      EXPECT_THAT(error.Description(), ::testing::HasSubstr("TCPIP[board]::HOST::PORT::SOCKET"));
      EXPECT_THAT(error.Description(), ::testing::HasSubstr(address));
    }
  }
}

}  // namespace
}  // namespace multitone
