// analyzer-sim --replay FILE: a record served over TCP answers any client as
// the recorded analyzer did, from the start for every client, and drops a
// client that sends something else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "replay/record_file.h"
#include "simserver/record_answerer.h"
#include "simserver/server_process.h"
#include "support/record_replay.h"

namespace multitone::testing {
namespace {

const std::string kData = std::string(TESTS_SOURCE_DIR) + "/data/";

TEST(ReplayServer, AnswersEveryClientAsTheRecordedAnalyzerDid) {
  ServerProcess server({"--replay", kData + "sim-dead-right-fail.jsonl"});
  ASSERT_NE(server.Port(), 0);
  const LinkRecord recorded = ReadRecordFile(kData + "sim-dead-right-fail.jsonl");
  TemporaryFolder folder;
  for (const char* client : {"first", "second"}) {
    SCOPED_TRACE(client);
    const RecordedRun run = RunRecorded(server.Address(), folder.Path(client),
                                        {"--limits", std::string(TESTS_SOURCE_DIR) + "/server/station_limits.toml"});
    EXPECT_EQ(run.result.exit_code, 3) << run.result.err;
    const LinkRecord seen = ReadRecordFile(run.record_file);
    ASSERT_EQ(seen.operations.size(), recorded.operations.size());
    for (std::size_t i = 0; i < seen.operations.size(); ++i) {
      EXPECT_TRUE(seen.operations[i].SameExchange(recorded.operations[i])) << "operation " << i + 1;
    }
  }
}

TEST(ReplayServer, DropsAClientThatSendsAnotherCommand) {
  LinkRecord record = ReadRecordFile(kData + "sim-plausible-pass.jsonl");
  record.operations[3].text = "SENS:UNIT3?";  // the first query
  TemporaryFolder folder;
  const std::string edited = folder.Path("edited.jsonl");
  std::ofstream(edited) << EncodeRecord(record);
  ServerProcess server({"--replay", edited});
  ASSERT_NE(server.Port(), 0);
  const ProgramResult result =
      RunProgram({MULTITONE_BINARY, "--analyzer", server.Address(), "--timeout", "5000", "--quiet"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_THAT(result.err, ::testing::StartsWith("error 440: ConfigureAnalyzer: reply to SENS:UNIT?: "));
}

// The answers do not depend on how the bytes arrive.
TEST(ReplayServer, AnswersTheSameWhateverPiecesTheBytesComeIn) {
  const auto record = std::make_shared<const LinkRecord>(ReadRecordFile(kData + "sim-plausible-pass.jsonl"));
  std::string sent;
  for (const LinkOperation& operation : record->operations) {
    if (operation.call == LinkCall::Write || operation.call == LinkCall::ReadBlock) sent += operation.text + "\n";
  }
  simserver::RecordAnswerer whole(record);
  const simserver::RecordAnswerer::Answer all = whole.Input(sent);
  EXPECT_FALSE(all.end) << all.why;
  simserver::RecordAnswerer bytewise(record);
  std::string replies;
  for (const char c : sent) {
    const auto answer = bytewise.Input(std::string_view(&c, 1));
    ASSERT_FALSE(answer.end) << answer.why;
    replies += answer.reply;
  }
  EXPECT_EQ(replies, all.reply);
  EXPECT_GT(all.reply.size(), 2u * 32768u);  // both blocks
}

}  // namespace
}  // namespace multitone::testing
