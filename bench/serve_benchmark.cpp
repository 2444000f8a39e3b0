// What the station server adds to a run: the same unit on the simulated
// analyzer tested directly (RunUnit), and through the server from the POST
// to the verdict event arriving on an event stream, as the page receives it.
// The difference of the two medians is the server's share: the request, the
// worker hand-over, the result document and drawing, and the event.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/doors/embedded_analyzer.h"
#include "server/station_server.h"
#include "station/unit_run.h"
#include "verdict/limits.h"

namespace multitone::server {
namespace {

StationSetup SimulatedStation() {
  StationSetup setup;
  setup.create_analyzer = MakeEmbeddedAnalyzerFactory("sim", std::chrono::seconds(20), nullptr, nullptr);
  setup.analyzer = "sim";
  setup.simulated = true;
  setup.station = "bench";
  LimitsSource limits;
  limits.file = std::string(TESTS_SOURCE_DIR) + "/server/station_limits.toml";
  std::ifstream file(limits.file);
  std::stringstream text;
  text << file.rdbuf();
  limits.content = text.str();
  limits.limits = ParseLimits(limits.content, limits.file);
  setup.limits = limits;
  return setup;
}

void DirectRun(benchmark::State& state) {
  const StationSetup setup = SimulatedStation();
  for (auto _ : state) {
    UnitResult unit = RunUnit(setup, "PB20000001");
    benchmark::DoNotOptimize(unit.judgement.verdict);
  }
}
BENCHMARK(DirectRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reads the event stream on its own connection and hands over each verdict's
// run id.
class VerdictListener {
 public:
  explicit VerdictListener(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(std::chrono::seconds(60));
    reader_ = std::thread([this] {
      std::string pending;
      client_.Get("/api/events", [&](const char* data, std::size_t size) {
        {
          std::lock_guard lock(mutex_);
          connected_ = true;
        }
        arrived_.notify_all();
        pending.append(data, size);
        for (auto end = pending.find("\n\n"); end != std::string::npos; end = pending.find("\n\n")) {
          const std::string frame = pending.substr(0, end);
          pending.erase(0, end + 2);
          if (frame.find("event: verdict\n") == std::string::npos) continue;
          const auto json = nlohmann::json::parse(frame.substr(frame.find("data: ") + 6));
          std::lock_guard lock(mutex_);
          verdicts_.push_back(json.at("run_id"));
          arrived_.notify_all();
        }
        return !stop_;
      });
    });
  }
  ~VerdictListener() { stop_ = true; }
  void Join() { reader_.join(); }

  // The server greets a new stream at once.
  bool WaitConnected() {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return connected_; });
  }

  bool WaitFor(const std::string& run_id) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(60), [&] {
      while (!verdicts_.empty()) {
        const bool found = verdicts_.front() == run_id;
        verdicts_.pop_front();
        if (found) return true;
      }
      return false;
    });
  }

 private:
  httplib::Client client_;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::string> verdicts_;
  bool connected_ = false;
};

void PostToVerdictEvent(benchmark::State& state) {
  std::ostringstream log;
  StationServer server(ServerConfig{{"127.0.0.1", 0}, {}, {}, {}}, SimulatedStation(),
                       std::make_unique<MemoryRunHistory>(), log);
  const int port = server.Bind();
  std::thread serving([&] { server.Serve(); });
  {
    VerdictListener listener(port);
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(std::chrono::seconds(60));
    if (!listener.WaitConnected()) state.SkipWithError("the event stream did not open");
    for (auto _ : state) {
      const auto posted = client.Post("/api/runs", R"({"serial":"PB20000001"})", "application/json");
      if (!posted || posted->status != 202) {
        state.SkipWithError("the run was not started");
        break;
      }
      if (!listener.WaitFor(nlohmann::json::parse(posted->body).at("run_id"))) {
        state.SkipWithError("no verdict came");
        break;
      }
    }
    server.Shutdown();  // ends the event stream, and with it the listener
    listener.Join();
  }
  serving.join();
}
BENCHMARK(PostToVerdictEvent)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace multitone::server

BENCHMARK_MAIN();
