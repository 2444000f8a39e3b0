#pragma once
// The --analyzer address, taken apart once. Every form multitone reaches:
//
//   sim[:OPTIONS] or nothing               the built-in simulated analyzer
//   tcp://HOST[:PORT]                      SCPI on a raw socket (port 5025)
//   TCPIP[n]::HOST::PORT::SOCKET           the same raw socket
//   TCPIP[n]::HOST[::DEVICE][::INSTR]      VXI-11; DEVICE is instN (inst0 when
//                                          none is given), or on a LAN/GPIB
//                                          gateway gpibN,ADDR[,SECONDARY] or
//                                          hpib,ADDR[,SECONDARY]
//   TCPIP[n]::HOST::hislipN[,PORT][::INSTR]  HiSLIP, sub-address hislipN, on
//                                          PORT (4880)
//   ASRL/dev/PATH::INSTR[?SETTINGS]        an RS-232 line (serial port)
//   prologix://HOST[:PORT]/ADDR[,SECONDARY]   a "++" GPIB controller on the
//                                          LAN (port 1234), analyzer at ADDR
//   ASRL/dev/PATH::INSTR?gpib=ADDR[,...]   the same controller on USB (a
//                                          serial port), analyzer at ADDR
//   replay:FILE                            a run recorded with --record FILE
//
// SETTINGS are KEY=VALUE pairs joined by ",": baud (50 to 4000000, 9600),
// bits (5 to 8, 8), parity (none, even, odd, mark, space; none), stop (1 or 2,
// 1), flow (none, rtscts, xonxoff; none), term (lf or cr, lf: the byte that
// ends every message both ways), gpib (the analyzer's GPIB address behind a
// USB controller, 0 to 30).
//
// The VISA forms are case-insensitive in their keywords (TCPIP, SOCKET, INSTR,
// ASRL, instN, gpib, hislip); hosts, paths and device names keep their case. An IPv6
// host goes in brackets. Nothing is resolved or opened here.
#include <string>
#include <string_view>

namespace multitone {

constexpr int kDefaultAnalyzerPort = 5025;
constexpr int kDefaultControllerPort = 1234;
constexpr int kDefaultHislipPort = 4880;

// The line settings of a serial port.
struct SerialSettings {
  enum class Parity { None, Even, Odd, Mark, Space };
  enum class Flow { None, RtsCts, XonXoff };
  int baud = 9600;
  int data_bits = 8;
  Parity parity = Parity::None;
  int stop_bits = 1;
  Flow flow = Flow::None;
  char termination = '\n';
};

// A GPIB address on the bus behind a controller.
struct GpibAddress {
  int primary = 0;     // 0 to 30
  int secondary = -1;  // 0 to 30, or -1 for none
};

struct AnalyzerAddress {
  enum class Kind {
    Simulated,       // sim_options
    Socket,          // host, port
    Vxi11,           // host, device
    Hislip,          // host, port, device (the sub-address, "hislip0")
    Serial,          // path, serial
    GpibController,  // host and port (LAN) or path and serial (USB); gpib
    Replay,          // path: the record
  };
  Kind kind = Kind::Simulated;
  std::string text;         // the address as given
  std::string host;         // without brackets
  int port = 0;
  std::string device;       // VXI-11 device name or HiSLIP sub-address, as given ("inst0", "gpib0,5", "hislip0")
  std::string path;         // serial port, "/dev/ttyUSB0"
  SerialSettings serial;
  GpibAddress gpib;
  std::string sim_options;  // after "sim:", checked by the simulator itself
};

// Takes `text` apart; throws RunError 429 (the link cannot be created), with
// the address and the forms expected, when it is none of the forms above.
AnalyzerAddress ParseAnalyzerAddress(std::string_view text);

// True for "", "sim" and "sim:...": the built-in simulated analyzer. Never
// throws.
bool NamesSimulatedAnalyzer(std::string_view text);

// Every form above in one line, for messages and --help.
std::string_view AnalyzerAddressForms();

}  // namespace multitone
