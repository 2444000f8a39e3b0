// The replay answers only the run it recorded: any other operation stops it
// with the operation's number, what was recorded and what was sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "common/run_error.h"
#include "replay/replay_transport.h"

namespace multitone {
namespace {

std::shared_ptr<const LinkRecord> ShortRun(bool edited) {
  auto record = std::make_shared<LinkRecord>();
  record->header.edited = edited;
  auto add = [&](LinkCall call, std::string text, std::string reply = "") {
    LinkOperation operation;
    operation.call = call;
    operation.text = std::move(text);
    operation.reply = std::move(reply);
    record->operations.push_back(std::move(operation));
  };
  add(LinkCall::Initialize, "selfadjustment");
  add(LinkCall::Write, "SENS:UNIT?");
  add(LinkCall::Read, "", "V");
  add(LinkCall::Write, "syst:mem:str1 ' 1 %'");
  return record;
}

TEST(ReplayTransport, AnythingButTheRecordedRunStopsIt) {
  using Run = std::function<void(Transport&)>;
  struct Case {
    const char* name;
    bool edited;
    Run run;
    const char* says;  // "" when the run must go through
  };
  const Case cases[] = {
      {"another query", false, [](Transport& t) { t.Initialize("selfadjustment"); t.Write("SENS:UNIT2?"); },
       "operation 2: recorded write \"SENS:UNIT?\", sent write \"SENS:UNIT2?\""},
      {"another call", false, [](Transport& t) { t.Initialize("selfadjustment"); t.Read(); },
       "operation 2: recorded write \"SENS:UNIT?\", sent read"},
      {"another figure", false,
       [](Transport& t) { t.Initialize("selfadjustment"); t.Write("SENS:UNIT?"); t.Read(); t.Write("syst:mem:str1 ' 2 %'"); },
       "operation 4: recorded write \"syst:mem:str1 ' 1 %'\", sent write \"syst:mem:str1 ' 2 %'\""},
      {"another figure, edited", true,
       [](Transport& t) { t.Initialize("selfadjustment"); t.Write("SENS:UNIT?"); t.Read(); t.Write("syst:mem:str1 ' 2 %'"); },
       ""},
      {"another query, edited", true, [](Transport& t) { t.Initialize("selfadjustment"); t.Write("SENS:UNIT2?"); },
       "operation 2: recorded write \"SENS:UNIT?\", sent write \"SENS:UNIT2?\""},
      {"past the end", false,
       [](Transport& t) {
         t.Initialize("selfadjustment"); t.Write("SENS:UNIT?"); t.Read(); t.Write("syst:mem:str1 ' 1 %'"); t.Close();
       },
       "operation 5: the record ends after 4 operations; sent close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto transport = MakeReplayTransport(ShortRun(c.edited), "run.jsonl", false);
    try {
      c.run(*transport);
      EXPECT_STREQ(c.says, "");
    } catch (const RunError& error) {
      EXPECT_EQ(error.Number(), ErrorNumber::AnalyzerOperationFailed);
      EXPECT_THAT(error.Description(), ::testing::StartsWith("replay of run.jsonl: "));
      EXPECT_THAT(error.Description(), ::testing::HasSubstr(c.says));
      EXPECT_STRNE(c.says, "");
    }
  }
}

}  // namespace
}  // namespace multitone
