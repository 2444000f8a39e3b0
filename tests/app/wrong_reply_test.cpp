// An analyzer that answers in the wrong form: a binary block where a text
// reply is due, a text line where a block is due. Each run ends with error
// 440 naming the step; no such reply passes as a reading.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_server.h"
#include "support/subprocess.h"
#include "support/synthetic_devices.h"

namespace multitone::testing {
namespace {

ProgramResult RunAgainst(const ScriptedAnalyzer& analyzer) {
  ScriptedServer server(analyzer);
  return RunProgram({MULTITONE_BINARY, "--analyzer", server.Address(), "--timeout", "3000"},
                    std::chrono::seconds(30));
}

TEST(WrongReply, ALevelQueryAnsweredWithABlockEndsTheRun) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  analyzer.Forget("sens:data?");
  analyzer.AnswerBlock("sens:data?", std::vector<float>(8192, 0.25f));
  const ProgramResult result = RunAgainst(analyzer);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_THAT(result.err, ::testing::StartsWith("error 440: AcquireSpectra: reply to sens:data?: "
                                                "expected a text reply, got a binary block"));
}

TEST(WrongReply, ABlockQueryAnsweredWithALineEndsTheRun) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  analyzer.Forget("trac:load:fft_by?");
  analyzer.Answer("trac:load:fft_by?", "1.00000000E-05,2.00000000E-05");
  const ProgramResult result = RunAgainst(analyzer);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_THAT(result.err,
              ::testing::StartsWith("error 440: AcquireSpectra: block for trac:load:fft_by?: expected "
                                    "a binary block starting with '#', got \"1.00000000E-05,"));
}

TEST(WrongReply, ASettingQueryAnsweredWithABlockEndsTheRun) {
  ScriptedAnalyzer analyzer;
  Apply(PlausibleDevice(), analyzer);
  analyzer.Forget("SENS:UNIT?");
  analyzer.AnswerBlock("SENS:UNIT?", {1.0f});
  const ProgramResult result = RunAgainst(analyzer);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_THAT(result.err, ::testing::StartsWith("error 440: ConfigureAnalyzer: reply to SENS:UNIT?"));
}

}  // namespace
}  // namespace multitone::testing
