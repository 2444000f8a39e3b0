// analyzer-sim: the simulated audio analyzer as a TCP server (see --help).
// Prints "analyzer-sim listening on HOST:PORT" on stdout once it accepts
// clients; exit status 0 after SIGINT or SIGTERM, 1 when it cannot listen, 2
// on a bad command line or a --replay record that cannot be read.
#include <csignal>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "recording/record_file.h"
#include "sim/device_options.h"
#include "simserver/analyzer_server.h"
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
    std::unique_ptr<multitone::simserver::Vxi11Server> vxi11;
    if (options.vxi11) {
      vxi11 = std::make_unique<multitone::simserver::Vxi11Server>(
          server.Shared(), options.bind, [&server] { server.UpdateScreen(std::cerr); });
    }
    std::cout << "analyzer-sim listening on " << server.Address() << "\n"
              << "device: " << multitone::sim::DescribeDeviceOptions(options.device) << "\n";
    if (vxi11) std::cout << "vxi11: core channel on " << vxi11->Address() << ", registered with the port mapper\n";
    std::cout << std::flush;
    std::thread vxi11_thread;
    if (vxi11) vxi11_thread = std::thread([&vxi11, stop_fd] { vxi11->Serve(stop_fd); });
    server.Serve(stop_fd, std::cerr);
    if (vxi11_thread.joinable()) vxi11_thread.join();
  } catch (const std::runtime_error& error) {
    std::cerr << "analyzer-sim: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
