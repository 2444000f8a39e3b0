#include "simserver/server_options.h"

#include <CLI/CLI.hpp>
#include <ostream>
#include <stdexcept>

#include "common/durable_file.h"

namespace multitone::simserver {
namespace {

// The PORT an option gives (not empty): 0 to 65535.
int PortNumber(const char* option, const std::string& text) {
  if (text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) > 65535) {
    throw CLI::ValidationError(option, "'" + text + "' is not a port from 0 to 65535");
  }
  return std::stoi(text);
}

}  // namespace

std::optional<int> ParseServerOptions(int argc, const char* const* argv, ServerOptions& options,
                                      std::ostream& out, std::ostream& err) {
  CLI::App app(
      "analyzer-sim: a simulated two-channel audio analyzer with a simulated playback device\n"
      "at its inputs, served over TCP (SCPI text commands, LF-terminated). It measures the\n"
      "device for real (synthesised signals, windowed FFT, level meter, frequency counter),\n"
      "keeps what clients write and shows it (--screen). One client at a time; state stays\n"
      "from one client to the next. Stops on SIGINT or SIGTERM.",
      "analyzer-sim");
  app.add_option("--bind", options.bind, "Address to listen on")->capture_default_str();
  app.add_option("--port", options.port, "TCP port; 0 picks a free one (printed on stdout)")
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
              return "'" + text + "' is not a whole number (of a port)";
            }
            return text.size() > 5 || std::stoi(text) > 65535 ? text + " is not between 0 and 65535" : "";
          },
          ""))
      ->capture_default_str();

  // The device flags are handed to the same option parser as multitone's
  // --analyzer sim:..., so both front doors accept and check the same values.
  std::string device_text;
  struct DeviceFlag {
    const char* name;
    const char* key;
    const char* help;
  };
  static constexpr DeviceFlag kFlags[] = {
      {"--speed", "speed", "Speed factor of the device: every frequency is multiplied by it (default 1)"},
      {"--level", "level", "RMS level of each tone, V (default 0.1936)"},
      {"--thd", "thd", "Harmonics 2..9 of every tone, RMS relative to the tone, % (default 0.03)"},
      {"--crosstalk", "crosstalk", "Crosstalk of each channel into the other, dB, or off (default -75)"},
      {"--noise", "noise", "RMS of white noise within 20 Hz..20 kHz, V (default 1e-5)"},
      {"--hum", "hum", "RMS of 50 Hz hum (with harmonics), V (default 0)"},
      {"--fault", "fault", "none, dead-left, dead-right, swapped, hum or clipping (default none)"},
      {"--seed", "seed", "Seed of the phases and the noise (default 1)"},
  };
  std::vector<std::string> values(std::size(kFlags));
  for (std::size_t i = 0; i < std::size(kFlags); ++i) {
    app.add_option(kFlags[i].name, values[i], kFlags[i].help)->type_name(i == 6 ? "NAME" : "VALUE");
  }
  app.add_option("--screen", options.screen_svg, "Write the display as an SVG file, rewritten when it changes")
      ->type_name("FILE.svg");
  app.add_flag("--vxi11", options.vxi11,
               "Also serve VXI-11 (core channel, device inst0) on the --bind address, registered "
               "with the port mapper (rpcbind must be running): TCPIP::HOST::INSTR");
  std::vector<std::string> gpib_texts;
  app.add_flag("--gpib-gateway", options.gpib_gateway,
               "With --vxi11: be a LAN/GPIB gateway too, with the --gpib analyzers at device names "
               "gpib0,ADDR (TCPIP::HOST::gpib0,ADDR::INSTR)");
  app.add_option("--gpib", gpib_texts,
                 "An analyzer on the GPIB bus at ADDR (0 to 30) with its own state and device, "
                 "e.g. 5:speed=1.0012 or 7:fault=dead-right (the keys of multitone's sim:OPTIONS); "
                 "may be given again")
      ->type_name("ADDR[:OPTIONS]");
  app.add_option("--serial", options.serial_device,
                 "Also serve a serial line: a pseudo-terminal pair of its own (the path clients open, "
                 "ASRL/dev/pts/N::INSTR, is printed), or the terminal DEVICE (one end of socat's pair)")
      ->type_name("[DEVICE]")
      ->expected(0, 1);
  std::string termination = "lf";
  app.add_option("--termination", termination, "The serial line's message terminator, both ways")
      ->check(CLI::IsMember({"lf", "cr"}))
      ->capture_default_str();
  std::string controller_port;
  app.add_option("--prologix", controller_port,
                 "Also be a ++ GPIB controller with the --gpib analyzers on its bus: on TCP PORT (1234; 0 "
                 "picks a free one), prologix://HOST:PORT/ADDR; with --serial on the serial line instead "
                 "(the USB form, ASRL/dev/pts/N::INSTR?gpib=ADDR)")
      ->type_name("[PORT]")
      ->expected(0, 1);
  bool no_socket = false;
  app.add_flag("--no-socket", no_socket,
               "Serve no raw socket, only the doors asked for (--hislip, --vxi11, --serial, --prologix)");
  std::string hislip_port;
  app.add_option("--hislip", hislip_port,
                 "Also serve HiSLIP (sub-address hislip0) on the --bind address and TCP PORT (4880; 0 picks "
                 "a free one): TCPIP::HOST::hislip0[,PORT]::INSTR")
      ->type_name("[PORT]")
      ->expected(0, 1);
  app.add_flag("--realtime", options.realtime,
               "Take as long for an acquisition as a real analyzer (16384 samples at 48 kHz: 0.34 s)");

  app.add_option("--replay", options.replay_file,
                 "Serve a record of a run that multitone recorded (FILE.jsonl) instead of the simulated analyzer: "
                 "each client gets the recorded answers, and a command other than the recorded one "
                 "drops the connection (TCP only)")
      ->type_name("FILE");
  app.set_version_flag("--version", std::string("analyzer-sim ") + MULTITONE_VERSION);

  try {
    app.parse(argc, argv);
    for (std::size_t i = 0; i < std::size(kFlags); ++i) {
      if (values[i].empty()) continue;
      if (values[i].find(',') != std::string::npos) {
        throw CLI::ValidationError(kFlags[i].name, "takes one value, without commas");
      }
      device_text += (device_text.empty() ? "" : ",") + std::string(kFlags[i].key) + "=" + values[i];
    }
    try {
      options.device = sim::ParseDeviceOptions(device_text);
    } catch (const std::invalid_argument& error) {
      throw CLI::ValidationError(error.what());
    }
    for (const std::string& text : gpib_texts) {
      const std::size_t colon = text.find(':');
      const std::string address = text.substr(0, colon);
      if (address.empty() || address.size() > 2 || address.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(address) > 30) {
        throw CLI::ValidationError("--gpib", "'" + text + "' does not start with a GPIB address from 0 to 30");
      }
      ServerOptions::GpibDevice device;
      device.address = std::stoi(address);
      for (const ServerOptions::GpibDevice& other : options.gpib) {
        if (other.address == device.address) throw CLI::ValidationError("--gpib", "address " + address + " given twice");
      }
      try {
        device.device = sim::ParseDeviceOptions(colon == std::string::npos ? "" : text.substr(colon + 1));
      } catch (const std::invalid_argument& error) {
        throw CLI::ValidationError("--gpib", error.what());
      }
      options.gpib.push_back(device);
    }
    options.serial = app.count("--serial") > 0;
    options.termination = termination == "cr" ? '\r' : '\n';
    if (app.count("--termination") > 0 && !options.serial) {
      throw CLI::ValidationError("--termination", "needs --serial");
    }
    options.controller = app.count("--prologix") > 0;
    if (!controller_port.empty()) {
      if (options.serial) throw CLI::ValidationError("--prologix", "takes no PORT with --serial (the line is the controller's)");
      options.controller_port = PortNumber("--prologix", controller_port);
    }
    options.hislip = app.count("--hislip") > 0;
    options.socket = !no_socket;
    if (no_socket && !options.hislip && !options.vxi11 && !options.serial && !options.controller) {
      throw CLI::ValidationError("--no-socket", "needs another door: --hislip, --vxi11, --serial or --prologix");
    }
    if (!hislip_port.empty()) {
      options.hislip_port = PortNumber("--hislip", hislip_port);
    }
    if (options.controller && options.gpib.empty()) {
      throw CLI::ValidationError("--prologix", "needs at least one --gpib ADDR[:OPTIONS]");
    }
    if (options.gpib_gateway && !options.vxi11) throw CLI::ValidationError("--gpib-gateway", "needs --vxi11");
    if (options.gpib_gateway && options.gpib.empty()) {
      throw CLI::ValidationError("--gpib-gateway", "needs at least one --gpib ADDR[:OPTIONS]");
    }
    if (!options.gpib.empty() && !options.gpib_gateway && !options.controller) {
      throw CLI::ValidationError("--gpib", "needs a bus: --gpib-gateway or --prologix");
    }
    if (!options.replay_file.empty() && (options.vxi11 || options.hislip || !options.socket || options.serial || options.controller || app.count("--screen") > 0 || options.realtime)) {
      throw CLI::ValidationError("--replay", "serves the record over TCP only: not with --vxi11, --hislip, --no-socket, --serial, --prologix, --screen or --realtime");
    }
    if (app.count("--screen") > 0) {
      if (const std::string why = WhyFileCannotBeWritten(options.screen_svg); !why.empty()) {
        throw CLI::ValidationError("--screen", why);
      }
    }
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    out << "analyzer-sim " << MULTITONE_VERSION << '\n';
    return 0;
  } catch (const CLI::ParseError& error) {
    err << "analyzer-sim: " << error.what() << "\nsee analyzer-sim --help\n";
    return 2;
  }
  return std::nullopt;
}

}  // namespace multitone::simserver
