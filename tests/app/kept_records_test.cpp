// multitone serve --record DIR: every run of the station leaves its record
// as DIR/RUN_ID.jsonl, one run per record; a run whose record cannot be
// written is no pass on the page.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "app/serve/kept_records_history.h"
#include "replay/record_file.h"
#include "server/station_server.h"
#include "station/unit_run.h"
#include "support/record_replay.h"

namespace multitone::testing {
namespace {

using nlohmann::json;
constexpr auto kBound = std::chrono::seconds(60);

class RecordingStation {
 public:
  explicit RecordingStation(const std::string& folder) {
    ProgramOptions options;
    options.analyzer = "sim";
    auto recording = std::make_shared<RunRecording>();
    StationSetup setup;
    setup.create_analyzer = recording->Around(
        MakeAnalyzerFactory("sim", std::chrono::seconds(20), nullptr, nullptr, recording->Wrap()));
    setup.analyzer = "sim";
    setup.simulated = true;
    setup.station = "line-3";
    setup.limits = LoadLimits(std::string(TESTS_SOURCE_DIR) + "/server/station_limits.toml");
    server::ServerConfig config;
    config.listen = {"127.0.0.1", 0};
    server_ = std::make_unique<server::StationServer>(
        std::move(config), std::move(setup),
        std::make_unique<KeptRecordsHistory>(std::make_unique<server::MemoryRunHistory>(), recording, folder,
                                             options),
        log_);
    port_ = server_->Bind();
    serving_ = std::thread([this] { server_->Serve(); });
  }
  ~RecordingStation() {
    server_->Shutdown();
    serving_.join();
  }

  // Tests one unit; the page's summary of the run once it has ended.
  json Run(const std::string& serial) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(kBound);
    const auto started = client.Post("/api/runs", json{{"serial", serial}}.dump(), "application/json");
    if (!started || started->status != 202) return {};
    const std::string run_id = json::parse(started->body)["run_id"];
    const auto deadline = std::chrono::steady_clock::now() + kBound;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto status = client.Get("/api/status");
      if (status && status->status == 200) {
        const json last = json::parse(status->body)["last"];
        if (last.is_object() && last["run_id"] == run_id) return last;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
  }

 private:
  std::ostringstream log_;
  std::unique_ptr<server::StationServer> server_;
  int port_ = 0;
  std::thread serving_;
};

TEST(KeptRecords, EachRunOfAStationLeavesItsOwnRecordAndNoneMeansNoPass) {
  TemporaryFolder folder;
  const std::string records = folder.Path("records");
  std::filesystem::create_directory(records);
  RecordingStation station(records);
  std::size_t operations = 0;
  for (const char* serial : {"PB20000001", "PB20000002"}) {
    const json run = station.Run(serial);
    ASSERT_TRUE(run.is_object()) << serial;
    EXPECT_EQ(run["verdict"], "PASS");
    const LinkRecord record = ReadRecordFile(records + "/" + run["run_id"].get<std::string>() + ".jsonl");
    EXPECT_EQ(record.header.run_id, run["run_id"]);
    ASSERT_FALSE(record.operations.empty());
    EXPECT_EQ(record.operations.front().call, LinkCall::Initialize);
    EXPECT_EQ(record.operations.back().call, LinkCall::Close);
    // This run's operations only, not the run's before it too.
    if (operations == 0) operations = record.operations.size();
    EXPECT_EQ(record.operations.size(), operations);
  }
  std::filesystem::remove_all(records);
  const json unkept = station.Run("PB20000003");
  ASSERT_TRUE(unkept.is_object());
  EXPECT_EQ(unkept["verdict"], "ERROR");
  EXPECT_NE(unkept["error"].get<std::string>().find("record not written"), std::string::npos) << unkept.dump();
}

}  // namespace
}  // namespace multitone::testing
