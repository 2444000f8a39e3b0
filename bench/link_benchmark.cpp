// A whole run against analyzer-sim on loopback, over the raw socket and over
// VXI-11: what the VXI-11 transport costs (goal: at most 1.5 times the
// socket's time). Needs rpcbind running (scripts/ensure-rpcbind).
#include <benchmark/benchmark.h>

#include <memory>

#include "link/tcp_transport.h"
#include "link/vxi11_transport.h"
#include "run/run_measurement.h"
#include "simserver/server_process.h"

namespace multitone::testing {
namespace {

constexpr std::chrono::milliseconds kTimeout(20000);

ServerProcess& Server() {
  static ServerProcess server({"--vxi11"});
  return server;
}

void WholeRun(benchmark::State& state, bool vxi11) {
  const int port = Server().Port();
  if (port == 0 || Server().Vxi11Port() == 0) {
    state.SkipWithError("analyzer-sim --vxi11 did not start (is rpcbind running?)");
    return;
  }
  for (auto _ : state) {
    MeasurementRecord record;
    record.CreateAnalyzer = [port, vxi11] {
      return std::make_unique<AnalyzerLink>(vxi11 ? OpenVxi11Transport("127.0.0.1", "inst0", kTimeout)
                                                  : OpenTcpTransportTo("127.0.0.1", port, kTimeout));
    };
    RunMeasurement(record);
    benchmark::DoNotOptimize(record.ResultTable.data());
  }
}

BENCHMARK_CAPTURE(WholeRun, Socket, false)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, Vxi11, true)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
