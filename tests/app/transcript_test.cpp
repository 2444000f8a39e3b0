// A complete run of the real program over TCP against a scripted analyzer:
// the whole traffic, from the first configuration text to the last
// hand-shake query, compared with the transcript that
// tests/app/golden/make_transcripts.py works out independently.
#include <fstream>
#include <gtest/gtest.h>

#include "support/scripted_server.h"
#include "support/subprocess.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

std::vector<std::string> GoldenTranscript(const std::string& name) {
  std::ifstream file(std::string(TESTS_SOURCE_DIR) + "/app/golden/" + name + ".txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

void ExpectTranscript(const AnalyzerScript& script, const std::string& golden) {
  ScriptedAnalyzer analyzer;
  Apply(script, analyzer);
  ScriptedServer server(analyzer);
  const ProgramResult result =
      RunProgram({MULTITONE_BINARY, "--analyzer", server.Address(), "--timeout", "5000"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");

  const std::vector<std::string> expected = GoldenTranscript(golden);
  ASSERT_EQ(expected.size(), 38u) << "golden transcript missing";
  const std::vector<std::string> received = server.Received();
  ASSERT_EQ(received.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(received[i], expected[i]) << "text " << i + 1;
  }
}

TEST(Transcript, APlausibleDeviceGetsEveryTextExact) {
  ExpectTranscript(PlausibleDevice(), "plausible_device");
}

TEST(Transcript, ADeadChannelGetsTheSentinelsEverywhere) {
  ExpectTranscript(DeadRightDevice(), "dead_right_device");
}

}  // namespace
}  // namespace multitone::testing
