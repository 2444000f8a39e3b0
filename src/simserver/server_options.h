#pragma once
// The command line of analyzer-sim.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim/device_options.h"

namespace multitone::simserver {

struct ServerOptions {
  std::string bind = "127.0.0.1";
  int port = 5025;             // 0: any free port (the one bound is printed)
  bool socket = true;          // serve the raw socket (--no-socket: only the other doors)
  sim::DeviceOptions device;
  std::string screen_svg;      // rewritten whenever the display changes
  bool realtime = false;       // an acquisition takes as long as a real one
  bool vxi11 = false;          // also serve VXI-11, registered with the port mapper
  bool gpib_gateway = false;   // VXI-11 as a LAN/GPIB gateway to the analyzers on `gpib`
  struct GpibDevice {
    int address = 0;           // 0 to 30
    sim::DeviceOptions device;
  };
  std::vector<GpibDevice> gpib;
  bool serial = false;         // also serve a serial line
  std::string serial_device;   // ... on this terminal; empty: a pseudo-terminal pair of our own
  char termination = '\n';     // of the serial line: LF or CR
  bool controller = false;     // a "++" GPIB controller with the `gpib` analyzers on its bus:
  int controller_port = 1234;  // ... on this TCP port (0: a free one), or on the serial line  // analyzers on the GPIB bus, each with its own state
  bool hislip = false;         // also serve HiSLIP
  int hislip_port = 4880;      // ... on this TCP port (0: a free one)
  std::string replay_file;     // --replay: serve this record instead of the simulated analyzer
};

// Parses argv into `options`. Returns an exit status when the program should
// end at once: 0 after --help or --version, 2 after a bad argument or a
// --screen file that cannot be written (the cause and a pointer to --help
// are written to `err`).
std::optional<int> ParseServerOptions(int argc, const char* const* argv, ServerOptions& options,
                                      std::ostream& out, std::ostream& err);

}  // namespace multitone::simserver
