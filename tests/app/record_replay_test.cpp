// A run recorded against an analyzer (--record) and replayed from the record
// alone (--analyzer replay:FILE) must come out the same: the same exit
// status, verdict and error line, the same JSON values, and the same traffic
// (so the same memory strings), whatever the device and whatever went wrong
// on the link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "replay/record_file.h"
#include "simserver/server_process.h"
#include "support/record_replay.h"
#include "support/scripted_server.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

const std::string kLimits = std::string(TESTS_SOURCE_DIR) + "/server/station_limits.toml";

TEST(RecordReplay, EveryDeviceOfTheSimulatorReplaysToTheSameResult) {
  TemporaryFolder folder;
  const struct {
    std::string fault;
    std::string transport;  // the door the run goes through
  } runs[] = {{"none", "socket"}, {"dead-left", "socket"}, {"dead-right", "socket"}, {"swapped", "socket"},
              {"hum", "socket"},  {"clipping", "socket"},  {"none", "hislip"}};
  for (const auto& run : runs) {
    const std::string name = run.fault + "-" + run.transport;
    SCOPED_TRACE(name);
    ServerProcess server({"--fault", run.fault, "--hislip", "0"});
    ASSERT_NE(server.HislipPort(), 0);
    const RecordedRun live = RunRecorded(run.transport == "socket" ? server.Address() : server.HislipAddress(),
                                         folder.Path(name + "-live"), {"--limits", kLimits});
    EXPECT_EQ(ReadRecordFile(live.record_file).header.transport, run.transport);
    const RecordedRun replayed =
        RunRecorded("replay:" + live.record_file, folder.Path(name + "-replayed"), {"--limits", kLimits});
    ExpectSameRun(live, replayed);
    EXPECT_EQ(replayed.Json()["simulated"], true) << "a replayed unit was not measured now";
  }
}

// The analyzer goes wrong in each way the link knows; the replay must fail
// at the same operation with the same line.
TEST(RecordReplay, LinkFaultsReplayToTheSameError) {
  ScriptedAnalyzer plausible;
  Apply(PlausibleDevice(), plausible);
  ScriptedAnalyzer garbage_block = plausible;
  garbage_block.Forget("trac:load:fft_ay?");
  garbage_block.Answer("trac:load:fft_ay?", "\x80\xff garbage \x01");
  ScriptedAnalyzer garbage_reply = plausible;
  garbage_reply.Forget("SENS:UNIT?");
  garbage_reply.Answer("SENS:UNIT?", std::string("\xfe\x00V\r", 4));
  struct Case {
    const char* name;
    const ScriptedAnalyzer* script;
    std::optional<ConnectionCut> cut;
    int exit_code;
  };
  const Case cases[] = {
      {"closed mid-run", &plausible, ConnectionCut{11, ConnectionCut::How::Close}, 1},
      {"reset at a block", &plausible, ConnectionCut{17, ConnectionCut::How::Reset}, 1},
      {"garbage for a block", &garbage_block, std::nullopt, 1},
      {"garbage for a setting", &garbage_reply, std::nullopt, 0},
  };
  TemporaryFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<RecordedRun> live;
    {
      ScriptedServer server(*c.script, 1, c.cut);
      live = RunRecorded(server.Address(), folder.Path(std::string(c.name) + "-live"), {"--timeout", "3000"});
    }
    EXPECT_EQ(live->result.exit_code, c.exit_code) << live->result.err;
    const RecordedRun replayed = RunRecorded("replay:" + live->record_file,
                                             folder.Path(std::string(c.name) + "-replayed"), {});
    ExpectSameRun(*live, replayed);
  }
}

TEST(RecordReplay, AStalledAnalyzerReplaysToTheSameTimeout) {
  TemporaryFolder folder;
  std::optional<RecordedRun> live;
  {
    LoopbackServer silent([](ServerConnection& c) { c.WaitForClientClose(std::chrono::seconds(20)); });
    live = RunRecorded(silent.Address(), folder.Path("stall-live"), {"--timeout", "1500"});
  }
  ASSERT_EQ(live->result.exit_code, 1);
  EXPECT_THAT(live->result.err, ::testing::HasSubstr("error 440: ConfigureAnalyzer:"));
  ExpectSameRun(*live, RunRecorded("replay:" + live->record_file, folder.Path("stall-replayed"), {}));

  // With the recorded delays the replay cannot fail before the recorded
  // timeout has run out (a lower bound only: a busy machine is slower).
  const auto started = std::chrono::steady_clock::now();
  const RecordedRun timed =
      RunRecorded("replay:" + live->record_file, folder.Path("stall-timed"), {"--replay-timing"});
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
  ExpectSameRun(*live, timed);
}

TEST(RecordReplay, AnEditedReplyReplaysToTheEditedFigure) {
  TemporaryFolder folder;
  const RecordedRun live = RunRecorded("sim", folder.Path("live"), {});
  // The left level reading, the reply that follows "sens:data?".
  LinkRecord record = ReadRecordFile(live.record_file);
  auto& operations = record.operations;
  const auto query = std::find_if(operations.begin(), operations.end(),
                                  [](const LinkOperation& o) { return o.text == "sens:data?"; });
  ASSERT_NE(query, operations.end());
  ASSERT_EQ((query + 1)->call, LinkCall::Read);
  (query + 1)->reply = "0.654321";
  const std::string unmarked = folder.Path("unmarked.jsonl");
  std::ofstream(unmarked) << EncodeRecord(record);
  record.header.edited = true;
  const std::string edited = folder.Path("edited.jsonl");
  std::ofstream(edited) << EncodeRecord(record);

  // Unmarked, the changed figure stops the run where it is written back.
  const ProgramResult strict =
      RunProgram({MULTITONE_BINARY, "--analyzer", "replay:" + unmarked, "--quiet"}, std::chrono::seconds(60));
  EXPECT_EQ(strict.exit_code, 1);
  EXPECT_THAT(strict.err, ::testing::HasSubstr("sent write \"syst:mem:str2 ' .654321 V, "));

  const RecordedRun replayed = RunRecorded("replay:" + edited, folder.Path("replayed"), {});
  EXPECT_EQ(replayed.result.exit_code, 0) << replayed.result.err;
  EXPECT_EQ(replayed.Json()["channels"]["left"]["total_level"]["value"], 0.654321);
  EXPECT_NE(live.Json()["channels"]["left"]["total_level"]["value"], 0.654321);
  EXPECT_THAT(replayed.MemoryString(2), ::testing::StartsWith("syst:mem:str2 ' .654321 V, "));
}

// A record that cannot be read is error 429 before anything is answered:
// never a crash, never a pass.
TEST(RecordReplay, ARecordThatCannotBeReadIsAnErrorNeverAPass) {
  TemporaryFolder folder;
  const RecordedRun live = RunRecorded("sim", folder.Path("live"), {"--limits", kLimits});
  ASSERT_EQ(live.result.exit_code, 0) << live.result.err;
  std::ifstream in(live.record_file);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto first_end = whole.find('\n');
  struct Case {
    const char* name;
    std::string content;
    const char* says;
  };
  const Case cases[] = {
      {"cut mid-line", whole.substr(0, whole.size() / 2), "the record is cut short"},
      {"cut before its end line", whole.substr(0, whole.rfind("{\"end\"")), "no end line after operation"},
      {"a future version", std::string(whole).replace(whole.find("\"version\":1"), 11, "\"version\":7"),
       "format version 7 is newer than this program reads (1)"},
      {"a corrupt line", whole.substr(0, first_end + 1) + "{\"op\":1,\"call\n" + whole.substr(first_end + 1),
       "line 2: not JSON"},
      {"empty", "", "the record is empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.Path(std::string(c.name) + ".jsonl");
    std::ofstream(path) << c.content;
    const ProgramResult result = RunProgram({MULTITONE_BINARY, "--analyzer", "replay:" + path, "--limits", kLimits,
                                             "--serial", "PB20000001", "--quiet"},
                                            std::chrono::seconds(60));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.err, ::testing::HasSubstr("error 429: ConfigureAnalyzer: record " + path));
    EXPECT_THAT(result.err, ::testing::HasSubstr(c.says));
    EXPECT_THAT(result.out, ::testing::StartsWith("ERROR PB20000001"));
  }
}

TEST(RecordReplay, ADifferentCommandStopsTheRunNamingTheOperation) {
  TemporaryFolder folder;
  const RecordedRun live = RunRecorded("sim", folder.Path("live"), {});
  LinkRecord record = ReadRecordFile(live.record_file);
  record.operations[1].text = "DISP:FFT:A:UNIT:TRAC OFF";
  const std::string edited = folder.Path("edited.jsonl");
  std::ofstream(edited) << EncodeRecord(record);
  const ProgramResult result =
      RunProgram({MULTITONE_BINARY, "--analyzer", "replay:" + edited, "--quiet"}, std::chrono::seconds(60));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "error 440: ConfigureAnalyzer: replay of " + edited +
                            ": operation 2: recorded write \"DISP:FFT:A:UNIT:TRAC OFF\", sent write "
                            "\"DISP:FFT:A:UNIT:TRAC ON\"\n");
}

}  // namespace
}  // namespace multitone::testing
