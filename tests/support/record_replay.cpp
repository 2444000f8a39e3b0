#include "support/record_replay.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "replay/record_file.h"

namespace multitone::testing {
namespace {

std::string WithoutSimulatedMark(std::string text) {
  for (auto at = text.find(" [SIMULATED]"); at != std::string::npos; at = text.find(" [SIMULATED]")) {
    text.erase(at, 12);
  }
  return text;
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "multitone-record.XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TemporaryFolder::Path(std::string name) const {
  for (char& c : name) {
    if (c == ' ' || c == '/') c = '-';
  }
  return path_ + "/" + name;
}

nlohmann::json RecordedRun::Json() const {
  std::ifstream in(json_file);
  return nlohmann::json::parse(in, nullptr, false);
}

std::string RecordedRun::MemoryString(int number) const {
  const std::string prefix = "syst:mem:str" + std::to_string(number) + " ";
  for (const LinkOperation& operation : ReadRecordFile(record_file).operations) {
    if (operation.call == LinkCall::Write && operation.text.rfind(prefix, 0) == 0) return operation.text;
  }
  return "";
}

RecordedRun RunRecorded(const std::string& address, const std::string& base, const std::vector<std::string>& more) {
  RecordedRun run;
  run.record_file = base + ".jsonl";
  run.json_file = base + ".json";
  std::vector<std::string> argv = {MULTITONE_BINARY, "--analyzer", address, "--serial", "PB20000001", "--record",
                                   run.record_file,  "--json",     run.json_file, "--quiet"};
  argv.insert(argv.end(), more.begin(), more.end());
  run.result = RunProgram(argv, std::chrono::seconds(60));
  return run;
}

void ExpectSameRun(const RecordedRun& live, const RecordedRun& replayed) {
  EXPECT_FALSE(replayed.result.timed_out);
  EXPECT_EQ(live.result.exit_code, replayed.result.exit_code);
  EXPECT_EQ(live.result.err, replayed.result.err);
  EXPECT_EQ(WithoutSimulatedMark(live.result.out), WithoutSimulatedMark(replayed.result.out));
  nlohmann::json a = live.Json();
  nlohmann::json b = replayed.Json();
  ASSERT_TRUE(a.is_object()) << live.json_file;
  ASSERT_TRUE(b.is_object()) << replayed.json_file;
  for (const char* varies : {"run_id", "started_at", "ended_at", "analyzer", "simulated"}) {
    a.erase(varies);
    b.erase(varies);
  }
  EXPECT_EQ(a, b);
  const LinkRecord first = ReadRecordFile(live.record_file);
  const LinkRecord second = ReadRecordFile(replayed.record_file);
  ASSERT_EQ(first.operations.size(), second.operations.size());
  for (std::size_t i = 0; i < first.operations.size(); ++i) {
    EXPECT_TRUE(first.operations[i].SameExchange(second.operations[i])) << "operation " << i + 1;
  }
  EXPECT_EQ(second.header.transport, "replay");
}

}  // namespace multitone::testing
