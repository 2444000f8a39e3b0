// A whole run against analyzer-sim on loopback through each door: the raw
// socket, VXI-11 (goal: at most 1.5 times the socket's time), a VXI-11
// LAN/GPIB gateway, HiSLIP (goal: at most 1.1 times the socket's time,
// measured run for run in HislipOverSocket), a serial line (a
// pseudo-terminal) and the "++" GPIB controller on the LAN and on USB. The serial runs also count the bytes
// that crossed the line: `line_s_115200` is the time those bytes need on a
// real line at 115200 baud (10 bits a byte), against which the program's own
// time is to be read. Needs rpcbind running (scripts/ensure-rpcbind).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "link/gpib_controller_transport.h"
#include "link/hislip_transport.h"
#include "link/serial_stream.h"
#include "link/stream_transport.h"
#include "link/tcp_transport.h"
#include "link/vxi11_transport.h"
#include "run/run_measurement.h"
#include "simserver/server_process.h"

namespace multitone::testing {
namespace {

constexpr std::chrono::milliseconds kTimeout(20000);

// The socket, VXI-11 with a gateway's GPIB address 5, HiSLIP and a serial line.
ServerProcess& Server() {
  static ServerProcess server({"--vxi11", "--gpib-gateway", "--gpib", "5", "--hislip", "0", "--serial"});
  return server;
}
ServerProcess& LanController() {
  static ServerProcess server({"--prologix", "0", "--gpib", "5"});
  return server;
}
ServerProcess& UsbController() {
  static ServerProcess server({"--serial", "--prologix", "--gpib", "5"});
  return server;
}

// Counts the bytes that cross a stream, both ways.
class CountingStream : public ByteStream {
 public:
  CountingStream(std::unique_ptr<ByteStream> inner, std::size_t& count) : inner_(std::move(inner)), count_(count) {}
  void Send(std::string_view bytes, Deadline deadline) override {
    inner_->Send(bytes, deadline);
    count_ += bytes.size();
  }
  std::size_t Receive(std::span<char> buffer, Deadline deadline) override {
    const std::size_t n = inner_->Receive(buffer, deadline);
    count_ += n;
    return n;
  }

 private:
  std::unique_ptr<ByteStream> inner_;
  std::size_t& count_;
};

StreamConnector Counted(StreamConnector connect, std::size_t& count) {
  return [connect, &count](Deadline deadline) -> std::unique_ptr<ByteStream> {
    return std::make_unique<CountingStream>(connect(deadline), count);
  };
}

enum class Door { Socket, Vxi11, Gateway, Hislip, Serial, LanController, UsbController };

ServerProcess& ServerOf(Door door) {
  return door == Door::LanController ? LanController() : door == Door::UsbController ? UsbController() : Server();
}

// One whole run through `door`; `bytes` counts what crosses a serial line.
void RunThrough(Door door, std::size_t& bytes) {
  ServerProcess& server = ServerOf(door);
  SerialSettings line;
  line.baud = 115200;
  MeasurementRecord record;
  record.CreateAnalyzer = [&]() -> std::unique_ptr<AnalyzerLink> {
    switch (door) {
      case Door::Socket: return std::make_unique<AnalyzerLink>(OpenTcpTransport("127.0.0.1", server.Port(), kTimeout));
      case Door::Vxi11: return std::make_unique<AnalyzerLink>(OpenVxi11Transport("127.0.0.1", "inst0", kTimeout));
      case Door::Gateway: return std::make_unique<AnalyzerLink>(OpenVxi11Transport("127.0.0.1", "gpib0,5", kTimeout));
      case Door::Hislip: {
        HislipSettings settings;
        settings.host = "127.0.0.1";
        settings.port = server.HislipPort();
        settings.timeout = kTimeout;
        return std::make_unique<AnalyzerLink>(OpenHislipTransport(settings));
      }
      case Door::Serial:
        return std::make_unique<AnalyzerLink>(
            MakeStreamTransport(Counted(SerialConnector(server.SerialPath(), line, kTimeout), bytes), kTimeout));
      case Door::LanController:
        return std::make_unique<AnalyzerLink>(OpenGpibControllerTransport(
            TcpConnector("127.0.0.1", server.ControllerPort(), kTimeout), GpibAddress{5, -1}, kTimeout));
      case Door::UsbController:
        return std::make_unique<AnalyzerLink>(OpenGpibControllerTransport(
            Counted(SerialConnector(server.SerialPath(), line, kTimeout), bytes), GpibAddress{5, -1}, kTimeout));
    }
    return nullptr;
  };
  RunMeasurement(record);
  benchmark::DoNotOptimize(record.ResultTable.data());
}

bool Started(benchmark::State& state, Door door) {
  ServerProcess& server = ServerOf(door);
  if (server.Port() == 0 || (&server == &Server() && (server.Vxi11Port() == 0 || server.HislipPort() == 0))) {
    state.SkipWithError("analyzer-sim did not start (is rpcbind running?)");
    return false;
  }
  return true;
}

void WholeRun(benchmark::State& state, Door door) {
  if (!Started(state, door)) return;
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    RunThrough(door, bytes);
  }
  if (bytes > 0) {
    state.counters["line_bytes"] = static_cast<double>(bytes);
    state.counters["line_s_115200"] = static_cast<double>(bytes) * 10 / 115200;
  }
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// HiSLIP against the socket, a run of each in turn, so that the machine's
// other load falls on both alike: the medians of their run times and the
// ratio of the medians (goal: at most 1.1). The benchmark's own time is that
// of the pairs.
void HislipOverSocket(benchmark::State& state) {
  if (!Started(state, Door::Socket)) return;
  std::vector<double> socket;
  std::vector<double> hislip;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const Door door : {Door::Socket, Door::Hislip}) {
      const auto start = std::chrono::steady_clock::now();
      RunThrough(door, bytes);
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
      (door == Door::Socket ? socket : hislip).push_back(took.count());
    }
  }
  state.counters["socket_ms"] = Median(socket);
  state.counters["hislip_ms"] = Median(hislip);
  state.counters["ratio"] = Median(hislip) / Median(socket);
}

BENCHMARK_CAPTURE(WholeRun, Socket, Door::Socket)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, Vxi11, Door::Vxi11)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, Vxi11Gateway, Door::Gateway)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, Hislip, Door::Hislip)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(HislipOverSocket)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(WholeRun, Serial, Door::Serial)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, ControllerLan, Door::LanController)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(WholeRun, ControllerUsb, Door::UsbController)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace multitone::testing

BENCHMARK_MAIN();
