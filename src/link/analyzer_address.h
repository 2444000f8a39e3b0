#pragma once
// An analyzer address taken apart: what a transport needs to open its link.
// The forms of address and how each is parsed are the program's
// (app/doors/analyzer_doors.h); the link takes only the parts.
#include <string>

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
  std::string text;         // the address as given
  std::string host;         // without brackets
  int port = 0;
  std::string device;       // VXI-11 device name or HiSLIP sub-address, as given ("inst0", "gpib0,5", "hislip0")
  std::string path;         // serial port "/dev/ttyUSB0", or a record file
  SerialSettings serial;
  GpibAddress gpib;
  std::string sim_options;  // after "sim:", checked by the simulator itself
};

}  // namespace multitone
