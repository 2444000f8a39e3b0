// The recorded runs kept in tests/data: each replays to the traffic it
// recorded and to the verdict it had.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "replay/record_file.h"
#include "support/record_replay.h"

namespace multitone::testing {
namespace {

TEST(RecordedRuns, ReplayToTheirTrafficAndVerdict) {
  struct Case {
    const char* file;
    const char* serial;
    int exit_code;
    const char* verdict;  // the start of the verdict line
  };
  const Case cases[] = {
      {"sim-plausible-pass.jsonl", "PB20000001", 0, "PASS PB20000001 [SIMULATED]\n"},
      {"sim-dead-right-fail.jsonl", "PB20000002", 3, "FAIL PB20000002: left crosstalk_100hz not defined;"},
      {"refused-connection-error.jsonl", "PB20000003", 1,
       "ERROR PB20000003: error 440: ConfigureAnalyzer: connection refused by 127.0.0.1:9"},
  };
  TemporaryFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string recorded = std::string(TESTS_SOURCE_DIR) + "/data/" + c.file;
    const std::string again = folder.Path(c.file);
    const ProgramResult result =
        RunProgram({MULTITONE_BINARY, "--analyzer", "replay:" + recorded, "--limits",
                    std::string(TESTS_SOURCE_DIR) + "/server/station_limits.toml", "--serial", c.serial,
                    "--record", again, "--quiet"},
                   std::chrono::seconds(60));
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_THAT(result.out, ::testing::StartsWith(c.verdict));
    const LinkRecord before = ReadRecordFile(recorded);
    const LinkRecord after = ReadRecordFile(again);
    ASSERT_EQ(before.operations.size(), after.operations.size());
    for (std::size_t i = 0; i < before.operations.size(); ++i) {
      EXPECT_TRUE(before.operations[i].SameExchange(after.operations[i])) << "operation " << i + 1;
    }
    EXPECT_EQ(after.header.limits_sha256, before.header.limits_sha256);
  }
}

}  // namespace
}  // namespace multitone::testing
