// The analyzer goes away at every point of a run in turn: the connection is
// closed (or reset) after each text it receives. Every run must end with
// error 440, one line on stderr, no hang past the timeout, and nothing
// received after the cut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_server.h"
#include "support/subprocess.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

constexpr std::size_t kTextsOfARun = 38;

void ExpectCleanFailure(const ScriptedAnalyzer& analyzer, ConnectionCut cut) {
  ScriptedServer server(analyzer, 1, cut);
  const ProgramResult result = RunProgram(
      {MULTITONE_BINARY, "--analyzer", server.Address(), "--timeout", "3000"},
      std::chrono::seconds(30));
  SCOPED_TRACE("cut after " + std::to_string(cut.after_lines) + " texts");
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_THAT(result.err, ::testing::MatchesRegex("error 440: [A-Za-z]+: [^\n]+\n"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(server.Received().size(), cut.after_lines);
}

TEST(CutConnection, EveryCutPointEndsInError440) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  for (std::size_t cut = 0; cut < kTextsOfARun; ++cut) {
    ExpectCleanFailure(analyzer, {cut, ConnectionCut::How::Close});
  }
}

TEST(CutConnection, AResetAtAQueryOrABlockEndsInError440) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  // After the first query, the frequency query, and each block query.
  for (const std::size_t cut : {3u, 11u, 17u, 19u}) {
    ExpectCleanFailure(analyzer, {cut, ConnectionCut::How::Reset});
  }
}

}  // namespace
}  // namespace multitone::testing
