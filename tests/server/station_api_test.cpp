// The station's API against a server in this process on the simulated
// analyzer: what each kind of request gets, one run at a time, and a stop
// that lets the run in progress finish and be recorded. The analyzer waits
// behind a gate, so a run lasts exactly as long as the test needs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/doors/embedded_analyzer.h"
#include "server/station_server.h"
#include "server/store_run_history.h"
#include "verdict/limits.h"

namespace multitone::server {
namespace {

using nlohmann::json;
constexpr auto kBound = std::chrono::seconds(60);

// Holds every run's first analyzer operation until opened.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void Pass() {
    std::unique_lock lock(mutex_);
    opened_.wait_for(lock, kBound, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

std::string FixtureText(const std::string& name) {
  std::ifstream file(std::string(TESTS_SOURCE_DIR) + "/server/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class Station {
 public:
  explicit Station(std::string token = {}, bool gated = false,
                   std::unique_ptr<RunHistory> history = std::make_unique<MemoryRunHistory>(),
                   std::string record_folder = {}) {
    StationSetup setup;
    auto analyzer = MakeEmbeddedAnalyzerFactory("sim", std::chrono::seconds(20), nullptr, nullptr);
    setup.create_analyzer = [this, gated, analyzer] {
      if (gated) gate.Pass();
      return analyzer();
    };
    setup.analyzer = "sim";
    setup.simulated = true;
    setup.station = "line-3";
    LimitsSource limits;
    limits.file = "station_limits.toml";
    limits.content = FixtureText(limits.file);
    limits.limits = ParseLimits(limits.content, limits.file);
    setup.limits = limits;
    server_ = std::make_unique<StationServer>(ServerConfig{{"127.0.0.1", 0}, std::move(token), std::move(record_folder), {}},
                                              std::move(setup), std::move(history), log_);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
  }
  ~Station() {
    gate.Open();
    server_->Shutdown();
    serving_.join();
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(std::chrono::seconds(5));
    client.set_read_timeout(kBound);
    return client;
  }
  httplib::Result PostSerial(const std::string& serial) {
    return Client().Post("/api/runs", json{{"serial", serial}}.dump(), "application/json");
  }
  // The result document once the run has ended.
  json ResultOf(const std::string& run_id) {
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto got = Client().Get("/api/runs/" + run_id);
      if (got && got->status == 200) return json::parse(got->body);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "no result for " << run_id;
    return {};
  }
  void Shutdown() { server_->Shutdown(); }
  int Port() const { return port_; }
  std::string Log() const { return log_.str(); }

  Gate gate;

 private:
  std::ostringstream log_;
  std::unique_ptr<StationServer> server_;
  int port_ = 0;
  std::thread serving_;
};

struct RequestCase {
  const char* what;
  const char* method;
  std::string path;
  httplib::Headers headers;
  std::string body;
  std::string content_type;
  int status;
};

void Check(Station& station, const RequestCase& c) {
  auto client = station.Client();
  const auto got = std::string(c.method) == "POST"
                       ? client.Post(c.path.c_str(), c.headers, c.body, c.content_type.c_str())
                       : client.Get(c.path.c_str(), c.headers);
  ASSERT_TRUE(got) << c.what;
  EXPECT_EQ(got->status, c.status) << c.what << ": " << got->body;
}

TEST(StationApi, RequestsRefusedBeforeAnyRun) {
  Station station;
  const RequestCase cases[] = {
      {"a form post", "POST", "/api/runs", {}, "serial=PB20000001", "application/x-www-form-urlencoded", 415},
      {"plain text", "POST", "/api/runs", {}, R"({"serial":"PB20000001"})", "text/plain", 415},
      {"a body over 4 KiB", "POST", "/api/runs", {}, R"({"serial":")" + std::string(5000, '1') + "\"}",
       "application/json", 413},
      {"not JSON", "POST", "/api/runs", {}, "PB20000001", "application/json", 400},
      {"a number", "POST", "/api/runs", {}, R"({"serial":20000001})", "application/json", 400},
      {"no serial", "POST", "/api/runs", {}, R"({"sn":"PB20000001"})", "application/json", 400},
      {"an empty serial", "POST", "/api/runs", {}, R"({"serial":""})", "application/json", 400},
      {"off the pattern", "POST", "/api/runs", {}, R"({"serial":"PB2000000"})", "application/json", 400},
      {"an unknown run", "GET", "/api/runs/00000000-0000-4000-8000-000000000000", {}, "", "", 404},
      {"a foreign Host", "GET", "/api/status", {{"Host", "station.attacker.example"}}, "", "", 403},
      {"the status", "GET", "/api/status", {}, "", "", 200},
      {"the alarms", "GET", "/api/alarms", {}, "", "", 200},
      {"an acknowledgement as a form", "POST", "/api/alarms/ack", {}, "by=kim", "application/x-www-form-urlencoded", 415},
      {"an acknowledgement of no alarm", "POST", "/api/alarms/ack", {}, R"({"by":"kim"})", "application/json", 400},
      {"an acknowledgement by nobody", "POST", "/api/alarms/ack", {},
       R"({"run_id":"r","figure":"noise","channel":"left","tone":0,"rule":"beyond 3 sigma","by":""})",
       "application/json", 400},
      {"an alarm that is not open", "POST", "/api/alarms/ack", {},
       R"({"run_id":"r","figure":"noise","channel":"left","tone":0,"rule":"beyond 3 sigma","by":"kim"})",
       "application/json", 404},
  };
  for (const auto& c : cases) Check(station, c);
  EXPECT_EQ(station.Log(), "");  // no run was started
}

TEST(StationApi, WithATokenEveryApiRequestCarriesIt) {
  const std::string token = "line3-Token.x";
  Station station(token);
  const RequestCase cases[] = {
      {"no token", "GET", "/api/status", {}, "", "", 401},
      {"no token, a run", "POST", "/api/runs", {}, R"({"serial":"PB20000001"})", "application/json", 401},
      {"no token, events", "GET", "/api/events", {}, "", "", 401},
      {"no token, an acknowledgement", "POST", "/api/alarms/ack", {},
       R"({"run_id":"r","figure":"noise","channel":"left","tone":0,"rule":"beyond 3 sigma","by":"kim"})",
       "application/json", 401},
      {"a wrong token", "GET", "/api/status", {{"Authorization", "Bearer line3-Token.y"}}, "", "", 401},
      {"the bearer", "GET", "/api/status", {{"Authorization", "Bearer " + token}}, "", "", 200},
      {"the cookie", "GET", "/api/status", {{"Cookie", "multitone_token=" + token}}, "", "", 200},
      {"the page itself", "GET", "/", {}, "", "", 200},
      {"a token unfit for a cookie", "GET", "/?token=a%3Bb%3Dcdefgh", {}, "", "", 400},
      {"a wrong token for the cookie", "GET", "/?token=line3-Token.y", {}, "", "", 401},
      {"the icon", "GET", "/favicon.ico", {}, "", "", 200},
  };
  for (const auto& c : cases) Check(station, c);
  EXPECT_FALSE(station.Client().Get("/?token=line3-Token.y")->has_header("Set-Cookie"));

  const auto set = station.Client().Get(("/?token=" + token).c_str());
  ASSERT_TRUE(set);
  EXPECT_EQ(set->status, 303);
  EXPECT_EQ(set->get_header_value("Location"), "/");
  EXPECT_EQ(set->get_header_value("Set-Cookie"),
            "multitone_token=" + token + "; Path=/; HttpOnly; SameSite=Strict");
}

TEST(StationApi, OneRunAtATimeAndItsResultAfterwards) {
  Station station({}, /*gated=*/true);
  const auto first = station.PostSerial("PB20000001");
  ASSERT_TRUE(first);
  ASSERT_EQ(first->status, 202);
  const std::string run_id = json::parse(first->body).at("run_id");

  const auto second = station.PostSerial("PB20000002");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, 409);
  EXPECT_EQ(json::parse(second->body).at("serial"), "PB20000001");
  EXPECT_EQ(station.Client().Get("/api/runs/" + run_id)->status, 202);
  const json running = json::parse(station.Client().Get("/api/status")->body);
  EXPECT_EQ(running.at("state"), "running");
  EXPECT_EQ(running.at("run").at("run_id"), run_id);

  station.gate.Open();
  const json result = station.ResultOf(run_id);
  EXPECT_EQ(result.at("schema"), "multitone-result/1");
  EXPECT_EQ(result.at("serial"), "PB20000001");
  EXPECT_EQ(result.at("verdict"), "PASS");
  EXPECT_EQ(result.at("simulated"), true);

  const json status = json::parse(station.Client().Get("/api/status")->body);
  EXPECT_EQ(status.at("state"), "idle");
  EXPECT_EQ(status.at("today").at("tested"), 1);
  EXPECT_EQ(status.at("today").at("passed"), 1);
  EXPECT_EQ(status.at("recent").at(0).at("run_id"), run_id);
  const auto drawing = station.Client().Get("/api/runs/" + run_id + "/response.svg");
  EXPECT_EQ(drawing->status, 200);
  EXPECT_EQ(drawing->get_header_value("Content-Type"), "image/svg+xml");

  const auto third = station.PostSerial("PB20000002");
  EXPECT_EQ(third->status, 202);
  station.ResultOf(json::parse(third->body).at("run_id"));
}

// Holds the runner after a run's result is cached, before it lets the run go.
class HeldHistory : public MemoryRunHistory {
 public:
  void Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) override {
    reached.Open();
    release.Pass();
    MemoryRunHistory::Remember(summary, ended_at);
  }
  Gate reached;
  Gate release;
};

// A client that has the result may start the next unit at once: until the
// station counts the run and is idle, the run is still running to the API.
TEST(StationApi, AResultIsGivenOnlyOnceTheStationHasLetTheRunGo) {
  auto history = std::make_unique<HeldHistory>();
  HeldHistory& held = *history;
  Station station({}, false, std::move(history));
  const auto started = station.PostSerial("PB20000003");
  ASSERT_EQ(started->status, 202);
  const std::string run_id = json::parse(started->body).at("run_id");
  held.reached.Pass();
  EXPECT_EQ(station.Client().Get("/api/runs/" + run_id)->status, 202);
  EXPECT_EQ(json::parse(station.Client().Get("/api/status")->body).at("state"), "running");
  held.release.Open();

  EXPECT_EQ(station.ResultOf(run_id).at("verdict"), "PASS");
  const json status = json::parse(station.Client().Get("/api/status")->body);
  EXPECT_EQ(status.at("state"), "idle");
  EXPECT_EQ(status.at("today").at("tested"), 1);
  EXPECT_EQ(station.PostSerial("PB20000004")->status, 202);
}

TEST(StationApi, AStopFinishesAndRecordsTheRunInProgress) {
  Station station({}, /*gated=*/true);
  const auto started = station.PostSerial("PB20000007");
  ASSERT_EQ(started->status, 202);
  auto stopped = std::async(std::launch::async, [&] { station.Shutdown(); });
  // Until the run has ended the server still answers, and starts nothing new.
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (json::parse(station.Client().Get("/api/status")->body).at("state") != "stopping" &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(station.PostSerial("PB20000008")->status, 503);
  EXPECT_EQ(station.Log(), "");
  station.gate.Open();
  ASSERT_EQ(stopped.wait_for(kBound), std::future_status::ready);
  EXPECT_EQ(station.Log(), "PASS PB20000007 [SIMULATED]\n");
}

// A pass that cannot be kept is an ERROR everywhere at once: the result the
// API gives, the day's counts, the recent runs and the server's log.
TEST(StationApi, APassThatCannotBeStoredIsAnErrorEverywhere) {
  Station station({}, false,
                  std::make_unique<StoreRunHistory>(RunStorage{"sqlite:/no/such/folder/runs.db", ""}, "line-3"));
  const auto started = station.PostSerial("PB20000001");
  ASSERT_EQ(started->status, 202);
  const json result = station.ResultOf(json::parse(started->body).at("run_id"));
  EXPECT_EQ(result.at("verdict"), "ERROR");
  EXPECT_NE(result.at("error").at("text").get<std::string>().find("result not stored"), std::string::npos);
  const json status = json::parse(station.Client().Get("/api/status")->body);
  EXPECT_EQ(status.at("today").at("passed"), 0);
  EXPECT_EQ(status.at("today").at("errors"), 1);
  EXPECT_EQ(status.at("recent").at(0).at("verdict"), "ERROR");
  EXPECT_EQ(station.Log().rfind("ERROR PB20000001: error 0: station: result not stored: ", 0), 0u) << station.Log();
}

// A station owns its address: a second one on the same port is refused at
// start instead of sharing it and taking every other request.
TEST(StationApi, ASecondStationOnTheSamePortIsRefused) {
  Station first;
  std::ostringstream log;
  StationServer second(ServerConfig{{"127.0.0.1", first.Port()}, {}, {}, {}}, StationSetup{},
                       std::make_unique<MemoryRunHistory>(), log);
  EXPECT_THROW(second.Bind(), std::runtime_error);
  EXPECT_EQ(first.Client().Get("/api/status")->status, 200);
}

// Loopback clients that hang on: some send a request one byte at a time and
// never finish it, some connect and send nothing. Each one the server drops
// connects again, until the crowd stops.
class SlowCrowd {
 public:
  SlowCrowd(int port, int trickling, int idle) : port_(port) {
    for (int i = 0; i < trickling + idle; ++i) clients_.push_back({Connect(), i < trickling, 0});
    thread_ = std::thread([this] { Run(); });
  }
  ~SlowCrowd() {
    stop_ = true;
    thread_.join();
    for (const auto& client : clients_) ::close(client.fd);
  }
  // Connections the server has closed so far.
  int Dropped() const { return dropped_; }

 private:
  struct Client {
    int fd;
    bool trickling;
    std::size_t sent;
  };
  int Connect() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
  }
  void Run() {
    std::string request = "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    request.append(4000, 'a');
    while (!stop_) {
      for (auto& client : clients_) {
        pollfd watched{client.fd, POLLIN, 0};
        char byte;
        const bool closed = ::poll(&watched, 1, 0) > 0 && ::recv(client.fd, &byte, 1, MSG_DONTWAIT) <= 0;
        if (closed) {
          ::close(client.fd);
          client = {Connect(), client.trickling, 0};
          ++dropped_;
        } else if (client.trickling) {
          ::send(client.fd, &request[client.sent++ % request.size()], 1, MSG_NOSIGNAL);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  }

  const int port_;
  std::vector<Client> clients_;
  std::atomic<bool> stop_{false};
  std::atomic<int> dropped_{0};
  std::thread thread_;
};

TEST(StationApi, ThePageAndApiAnswerWhileAHundredSlowClientsHangOn) {
  Station station;
  SlowCrowd crowd(station.Port(), 70, 30);
  // Event streams beyond the cap: the oldest end.
  std::atomic<int> ended{0};
  std::vector<std::thread> streams;
  for (int i = 0; i < 20; ++i) {
    streams.emplace_back([&] {
      auto client = station.Client();
      client.Get("/api/events", [](const char*, std::size_t) { return true; });
      ++ended;
    });
  }
  const auto answered = [&](const char* path) {
    const auto got = station.Client().Get(path);
    return got && got->status == 200;
  };
  EXPECT_TRUE(answered("/"));
  EXPECT_TRUE(answered("/api/status"));
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while ((ended < 4 || crowd.Dropped() < 100) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GE(ended, 4) << "event streams beyond the cap were not ended";
  EXPECT_GE(crowd.Dropped(), 100) << "slow and idle clients were not dropped";
  EXPECT_TRUE(answered("/api/status"));
  const auto run = station.PostSerial("PB20000031");
  ASSERT_TRUE(run);
  EXPECT_EQ(run->status, 202);
  station.ResultOf(json::parse(run->body).at("run_id"));
  station.Shutdown();
  for (auto& stream : streams) stream.join();
  EXPECT_EQ(ended, 20);
}

// A run's record is offered only where the station keeps records, only for
// runs it made, and only from its record folder.
TEST(StationApi, ARecordIsOfferedOnlyForTheStationsOwnRuns) {
  const std::string folder = ::testing::TempDir() + "records-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  Station keeping({}, false, std::make_unique<MemoryRunHistory>(), folder);
  const std::string run_id = json::parse(keeping.PostSerial("PB20000001")->body).at("run_id");
  keeping.ResultOf(run_id);
  std::ofstream(folder + "/" + run_id + ".jsonl") << "{\"record\":\"multitone-link-record\"}\n";
  std::ofstream(folder + "/00000000-0000-4000-8000-000000000000.jsonl") << "not this station's run\n";
  const auto got = keeping.Client().Get("/api/runs/" + run_id + "/record.jsonl");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->status, 200);
  EXPECT_EQ(got->body, "{\"record\":\"multitone-link-record\"}\n");
  EXPECT_EQ(got->get_header_value("Content-Disposition"), "attachment; filename=\"" + run_id + ".jsonl\"");
  EXPECT_EQ(json::parse(keeping.Client().Get("/api/status")->body).at("records"), true);
  const RequestCase cases[] = {
      {"a run the station did not make", "GET", "/api/runs/00000000-0000-4000-8000-000000000000/record.jsonl", {},
       "", "", 404},
      {"a name that is no run id", "GET", "/api/runs/passwd/record.jsonl", {}, "", "", 404},
  };
  for (const auto& c : cases) Check(keeping, c);
  std::filesystem::remove(folder + "/" + run_id + ".jsonl");
  Check(keeping, {"a record that is gone", "GET", "/api/runs/" + run_id + "/record.jsonl", {}, "", "", 404});

  Station plain;
  const std::string other = json::parse(plain.PostSerial("PB20000002")->body).at("run_id");
  plain.ResultOf(other);
  Check(plain, {"a station that keeps none", "GET", "/api/runs/" + other + "/record.jsonl", {}, "", "", 404});
  EXPECT_EQ(json::parse(plain.Client().Get("/api/status")->body).at("records"), false);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace multitone::server
