// analyzer-sim: the simulated audio analyzer as a TCP server (see --help).
// Prints "analyzer-sim listening on HOST:PORT" on stdout once it accepts
// clients (unless --no-socket), then a line for each other door; exit
// status 0 after SIGINT or SIGTERM, 1 when it cannot listen, 2 on a bad
// command line or a --replay record that cannot be read.
#include <chrono>
#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "replay/record_file.h"
#include "sim/device_options.h"
#include "simserver/analyzer_server.h"
#include "simserver/controller_server.h"
#include "simserver/gpib_controller.h"
#include "simserver/hislip_server.h"
#include "simserver/serial_server.h"
#include "simserver/replay_server.h"
#include "simserver/server_options.h"
#include "simserver/stop_signal.h"
#include "simserver/vxi11_server.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  multitone::simserver::ServerOptions options;
  if (const auto status = multitone::simserver::ParseServerOptions(argc, argv, options, std::cout, std::cerr)) {
    return *status;
  }
  const int stop_fd = multitone::simserver::InstallStopSignal();
  if (!options.replay_file.empty()) {
    try {
      auto record = std::make_shared<const multitone::LinkRecord>(multitone::ReadRecordFile(options.replay_file));
      multitone::simserver::ReplayServer server(options.bind, options.port, record);
      std::cout << "analyzer-sim listening on " << server.Address() << "\n"
                << "replaying " << options.replay_file << " (" << record->operations.size() << " operations)\n"
                << std::flush;
      server.Serve(stop_fd, std::cerr);
    } catch (const multitone::RecordError& error) {
      std::cerr << "analyzer-sim: record " << error.what() << '\n';
      return 2;
    } catch (const std::runtime_error& error) {
      std::cerr << "analyzer-sim: " << error.what() << '\n';
      return 1;
    }
    return 0;
  }
  try {
    multitone::simserver::AnalyzerServer server(options);
    // The analyzers on the GPIB bus, each with its own state.
    std::vector<std::unique_ptr<multitone::simserver::SharedAnalyzer>> bus;
    std::vector<multitone::simserver::Vxi11Target> devices = {
        {"inst0", &server.Shared(), [&server] { server.UpdateScreen(std::cerr); }}};
    for (const auto& device : options.gpib) {
      bus.push_back(std::make_unique<multitone::simserver::SharedAnalyzer>(device.device));
      if (options.realtime) {
        bus.back()->analyzer.GetInstrument().SetAcquisitionWait(
            [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); });
      }
      devices.push_back({"gpib0," + std::to_string(device.address), bus.back().get(), nullptr});
    }
    std::unique_ptr<multitone::simserver::Vxi11Server> vxi11;
    if (options.vxi11) vxi11 = std::make_unique<multitone::simserver::Vxi11Server>(devices, options.bind);
    if (options.socket) std::cout << "analyzer-sim listening on " << server.Address() << "\n";
    std::cout << "device: " << multitone::sim::DescribeDeviceOptions(options.device) << "\n";
    if (vxi11) std::cout << "vxi11: core channel on " << vxi11->Address() << ", registered with the port mapper\n";
    for (const auto& device : options.gpib) {
      std::cout << "gpib0," << device.address << ": " << multitone::sim::DescribeDeviceOptions(device.device) << "\n";
    }
    std::unique_ptr<multitone::simserver::HislipServer> hislip;
    if (options.hislip) {
      multitone::simserver::HislipServerSettings settings;
      settings.bind = options.bind;
      settings.port = options.hislip_port;
      hislip = std::make_unique<multitone::simserver::HislipServer>(
          server.Shared(), [&server] { server.UpdateScreen(std::cerr); }, settings);
      std::cout << "hislip: sub-address hislip0 on " << hislip->Address() << "\n";
    }
    std::map<int, multitone::simserver::SharedAnalyzer*> addresses;
    for (std::size_t i = 0; i < bus.size(); ++i) addresses[options.gpib[i].address] = bus[i].get();
    multitone::simserver::GpibController controller(addresses);
    std::unique_ptr<multitone::simserver::ControllerServer> controller_server;
    if (options.controller && !options.serial) {
      controller_server = std::make_unique<multitone::simserver::ControllerServer>(controller, options.bind,
                                                                                   options.controller_port);
      std::cout << "gpib controller on " << controller_server->Address() << "\n";
    }
    std::unique_ptr<multitone::simserver::SerialServer> serial;
    if (options.serial) {
      serial = std::make_unique<multitone::simserver::SerialServer>(
          options.serial_device,
          options.controller
              ? multitone::simserver::LineExchange([&controller](std::string_view bytes, bool new_session) {
                  if (new_session) controller.StartSession();
                  return controller.Input(bytes);
                })
              : multitone::simserver::AnalyzerExchange(server.Shared(), options.termination,
                                                       [&server] { server.UpdateScreen(std::cerr); }));
      std::cout << "serial: " << serial->Path() << "\n";
      if (options.controller) std::cout << "gpib controller on " << serial->Path() << "\n";
    }
    std::cout << std::flush;
    std::thread controller_thread;
    if (controller_server) {
      controller_thread = std::thread([&controller_server, stop_fd] { controller_server->Serve(stop_fd); });
    }
    std::thread serial_thread;
    if (serial) serial_thread = std::thread([&serial, stop_fd] { serial->Serve(stop_fd); });
    std::thread vxi11_thread;
    if (vxi11) vxi11_thread = std::thread([&vxi11, stop_fd] { vxi11->Serve(stop_fd); });
    std::thread hislip_thread;
    if (hislip) hislip_thread = std::thread([&hislip, stop_fd] { hislip->Serve(stop_fd); });
    server.Serve(stop_fd, std::cerr);
    if (hislip_thread.joinable()) hislip_thread.join();
    if (vxi11_thread.joinable()) vxi11_thread.join();
    if (serial_thread.joinable()) serial_thread.join();
    if (controller_thread.joinable()) controller_thread.join();
  } catch (const std::runtime_error& error) {
    std::cerr << "analyzer-sim: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
