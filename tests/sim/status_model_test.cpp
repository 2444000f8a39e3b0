// The IEEE 488.2 status model as a client polls it (*ESR?, *STB?, ...), the
// error queue read whole, and the numeric forms MIN/MAX/DEF and NUL as white
// space: each case is a few lines sent in turn and the reply to the last.
#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace multitone::sim {
namespace {

using testing::Session;
using namespace std::string_literals;

struct Case {
  const char* name;
  std::vector<std::string> lines;  // sent in turn, each with its LF
  std::string reply;               // the reply to the last line
};

void Check(const Case& c) {
  SCOPED_TRACE(c.name);
  Session session;
  std::vector<std::string> replies;
  for (const std::string& line : c.lines) replies = session.Input(line + "\n");
  ASSERT_FALSE(replies.empty());
  EXPECT_EQ(replies.back(), c.reply + "\n");
}

TEST(StatusModel, RegistersAndStatusByte) {
  const Case cases[] = {
      {"nothing happened", {"*ESR?;*STB?;*ESE?;*SRE?"}, "0;0;0;0"},
      {"command error sets CME", {"FOO", "*ESR?"}, "32"},
      {"execution error sets EXE", {"sens:ufil:att 999", "*ESR?"}, "16"},
      {"*OPC sets OPC", {"*OPC", "*ESR?"}, "1"},
      {"reading the ESR clears it", {"FOO", "*ESR?;*ESR?"}, "32;0"},
      {"EAV while the queue holds an error", {"FOO", "*STB?"}, "4"},
      {"ESB only for enabled events", {"*ESE 16", "FOO", "*STB?"}, "4"},
      {"ESB for an enabled event", {"*ESE 32", "FOO", "*STB?"}, "36"},
      {"MSS for an enabled summary", {"*ESE 32;*SRE 32", "FOO", "*STB?"}, "100"},
      {"MAV while a reply is unread", {"*IDN?\n*STB?"}, "16"},
      {"*CLS clears queue and events", {"*ESE 32", "FOO", "*CLS", "*STB?;*ESR?"}, "0;0"},
      {"*CLS keeps the enable masks", {"*ESE 36;*SRE 4", "*CLS", "*ESE?;*SRE?"}, "36;4"},
      {"SRE cannot enable MSS", {"*SRE 255", "*SRE?"}, "191"},
      {"enable value out of range", {"*ESE 256", "*ESR?;*ESE?"}, "16;0"},
      {"enable value rounded", {"*ESE 3.6", "*ESE?"}, "4"},
  };
  for (const Case& c : cases) Check(c);
  std::vector<std::string> overflow(ErrorQueue::kCapacity + 1, "FOO");
  overflow.push_back("*ESR?");
  Check({"overflow sets DDE as well as CME", overflow, "40"});
}

TEST(StatusModel, ErrorQueueReadWholeAndCounted) {
  const Case cases[] = {
      {"count", {"FOO", "BAR", "SYST:ERR:COUN?"}, "2"},
      {"all, oldest first", {"FOO", "BAR", "SYST:ERR:ALL?"},
       "-113,\"Undefined header;FOO\",-113,\"Undefined header;BAR\""},
      {"all empties the queue", {"FOO", "SYST:ERR:ALL?", "SYST:ERR:COUN?"}, "0"},
      {"all of an empty queue", {"SYST:ERR:ALL?"}, "0,\"No error\""},
  };
  for (const Case& c : cases) Check(c);
}

TEST(StatusModel, RangedSettingsTakeMinMaxDefAndNulIsWhiteSpace) {
  const Case cases[] = {
      {"MAX", {"sens:ufil:att MAX", "sens:ufil:att?"}, "2.00000000E+02"},
      {"MINimum", {"sens:ufil:att minimum", "sens:ufil:att?"}, "0.00000000E+00"},
      {"DEF is the power-on value", {"sens:ufil:att 10", "sens:ufil:att DEF", "sens:ufil:att?"},
       "4.00000000E+01"},
      {"DEF of each edge its own", {"sens:ufil:pass:upp def", "sens:ufil:pass:upp?"}, "4.00000000E+03"},
      {"MIN of a frequency", {"disp:swe:x:left min", "disp:swe:x:left?"}, "1.00000000E-03"},
      {"MAX of a voltage", {"disp:swe:a:ref:val max", "disp:swe:a:ref:val?"}, "1.00000000E+03"},
      {"a word that is not one of them", {"sens:ufil:att MAXI", "SYST:ERR?"},
       "-104,\"Data type error;MAXI\""},
      {"NUL between header and parameter", {"*ESE\0 4"s, "*ESE?"}, "4"},
      {"NUL around units", {"\0*ESE 4\0;\0*ESE?\0"s}, "4"},
  };
  for (const Case& c : cases) Check(c);
}

}  // namespace
}  // namespace multitone::sim
