// analyzer-sim: the simulated audio analyzer as a TCP server (see --help).
// Prints "analyzer-sim listening on HOST:PORT" on stdout once it accepts
// clients; exit status 0 after SIGINT or SIGTERM, 1 when it cannot listen, 2
// on a bad command line.
#include <csignal>
#include <iostream>
#include <stdexcept>

#include "sim/device_options.h"
#include "simserver/analyzer_server.h"
#include "simserver/server_options.h"
#include "simserver/stop_signal.h"

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  multitone::simserver::ServerOptions options;
  if (const auto status = multitone::simserver::ParseServerOptions(argc, argv, options, std::cout, std::cerr)) {
    return *status;
  }
  const int stop_fd = multitone::simserver::InstallStopSignal();
  try {
    multitone::simserver::AnalyzerServer server(options);
    std::cout << "analyzer-sim listening on " << server.Address() << "\n"
              << "device: " << multitone::sim::DescribeDeviceOptions(options.device) << std::endl;
    server.Serve(stop_fd, std::cerr);
  } catch (const std::runtime_error& error) {
    std::cerr << "analyzer-sim: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
