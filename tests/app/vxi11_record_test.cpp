// A run recorded over VXI-11 replays without the analyzer to the same result
// and traffic. It registers analyzer-sim with the port mapper, so it runs
// with the other VXI-11 tests, never beside them.
#include <gtest/gtest.h>

#include "replay/record_file.h"
#include "simserver/server_process.h"
#include "support/record_replay.h"

namespace multitone::testing {
namespace {

TEST(Vxi11Record, ARunOverVxi11ReplaysToTheSameResult) {
  TemporaryFolder folder;
  std::optional<RecordedRun> live;
  {
    ServerProcess server({"--vxi11", "--speed", "1.0012"});
    ASSERT_NE(server.Vxi11Port(), 0);
    live = RunRecorded("TCPIP::127.0.0.1::INSTR", folder.Path("live"), {});
  }
  ASSERT_EQ(live->result.exit_code, 0) << live->result.err;
  EXPECT_EQ(ReadRecordFile(live->record_file).header.transport, "vxi11");
  const RecordedRun replayed = RunRecorded("replay:" + live->record_file, folder.Path("replayed"), {});
  ExpectSameRun(*live, replayed);
}

}  // namespace
}  // namespace multitone::testing
