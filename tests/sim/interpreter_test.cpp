// The interpreter and its dispatcher: message syntax, the error queue, the
// bounds on what any input can make it hold.
#include <gtest/gtest.h>

#include "sim/command_table.h"
#include "sim/error_queue.h"
#include "sim_test_support.h"

namespace multitone::sim {
namespace {

using testing::ErrorCode;
using testing::RunCommandTexts;
using testing::Session;

std::string AllRunTexts() {
  std::string input;
  for (const std::string& text : RunCommandTexts()) input += text + "\n";
  return input;
}

TEST(Interpreter, AcceptsEveryTextOfARunExactlyAsSent) {
  Session session;
  for (const std::string& text : RunCommandTexts()) {
    session.Input(text + "\n");
    EXPECT_EQ(session.Errors(), std::vector<std::string>()) << text;
  }
}

TEST(Interpreter, InputSplitAtEveryByteGivesTheSameReplies) {
  const std::string input = AllRunTexts() + "*IDN?;*OPC?\nSYST:ERR?\n";
  Session whole;
  const std::vector<std::string> expected = whole.Input(input);
  ASSERT_GT(expected.size(), 10u);

  Session pieces;
  std::vector<std::string> replies;
  for (const char c : input) {
    for (std::string& r : pieces.Input(std::string_view(&c, 1))) replies.push_back(std::move(r));
  }
  EXPECT_EQ(replies, expected);
}

TEST(Interpreter, ChainedQueriesAnswerInOneReplyJoinedBySemicolons) {
  Session session;
  EXPECT_EQ(session.Input("SENS:UNIT V;:SENS:UNIT?;:SENS:UNIT2?;*OPC?\n"),
            std::vector<std::string>{"V;DBV;1\n"});
}

TEST(Interpreter, HeaderWithoutLeadingColonContinuesThePathOfThePreviousCommand) {
  Session session;
  session.Ask("SENS:UFIL:PASS:LOW 900 HZ;UPP 1100 HZ");
  EXPECT_EQ(session.Ask("SENS:UFIL:PASS:LOW?;UPP?"), "9.00000000E+02;1.10000000E+03");
  EXPECT_TRUE(session.Errors().empty());
}

TEST(Interpreter, LeadingColonReturnsToTheRoot) {
  Session session;
  // Without the colon "INP:FILT" would be looked for below SENS:UFIL.
  session.Ask("SENS:UFIL:ATT 50 DB;INP:FILT UFIL1");
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -113);
  session.Ask("SENS:UFIL:ATT 50 DB;:INP:FILT UFIL1");
  EXPECT_EQ(session.Ask("INP:FILT?"), "UFIL1");
  EXPECT_TRUE(session.Errors().empty());
}

TEST(Interpreter, HeadersAreCaseInsensitiveInShortAndLongForm) {
  Session session;
  session.Ask("sense:function:fft:window HANNING");
  EXPECT_EQ(session.Ask("SENS:FUNC:FFT:WIND?"), "HANN");
  session.Ask("Sens:Func:Fft:Wind Flat");
  EXPECT_EQ(session.Ask("sense1:FUNCTION:fft:WINDOW?"), "FLAT");
  EXPECT_TRUE(session.Errors().empty());
}

TEST(Interpreter, UnknownHeadersQueueUndefinedHeaderAndSystErrDrainsInOrder) {
  Session session;
  session.Ask("FOO:BAR 1");
  session.Ask("SENS:BOGUS?");
  session.Ask("*XYZ");
  const std::string first = session.Ask("SYST:ERR?");
  EXPECT_EQ(first, "-113,\"Undefined header;FOO:BAR\"");
  EXPECT_EQ(session.Ask("SYSTem:ERRor:NEXT?"), "-113,\"Undefined header;SENS:BOGUS?\"");
  EXPECT_EQ(ErrorCode(session.Ask("syst:err?")), -113);
  EXPECT_EQ(session.Ask("SYST:ERR?"), "0,\"No error\"");
}

TEST(Interpreter, CommandErrorAbandonsTheRestOfTheMessageButNotEarlierUnits) {
  Session session;
  EXPECT_EQ(session.Input("*OPC?;NOPE;*IDN?\n"), std::vector<std::string>{"1\n"});
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -113);
}

TEST(Interpreter, ParameterWhereNoneIsAllowedIsMinus108) {
  Session session;
  EXPECT_EQ(session.Ask("SENS:UNIT? V"), "");
  EXPECT_EQ(session.Ask("*RST 1"), "");
  const std::vector<std::string> errors = session.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(ErrorCode(errors[0]), -108);
  EXPECT_EQ(ErrorCode(errors[1]), -108);
}

TEST(Interpreter, MissingParameterIsMinus109) {
  Session session;
  session.Ask("SENS:UNIT");
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -109);
}

TEST(Interpreter, IllegalValueIsMinus224AndKeepsTheSetting) {
  Session session;
  session.Ask("sens:func:fft:size S12K");
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -224);
  EXPECT_EQ(session.Ask("sens:func:fft:size?"), "S8K");
}

TEST(Interpreter, OverlongLineIsDiscardedUpToItsLineFeedAndLaterCommandsWork) {
  Session session;
  const std::string huge(Interpreter::kMaxLineBytes + 10, 'A');
  session.Input("syst:mem:str1 '" + huge);
  session.Input(huge);  // still the same line: discarded as it comes
  EXPECT_EQ(session.Input("'\n*IDN?\n"), std::vector<std::string>{std::string(IdentityText()) + "\n"});
  const std::vector<std::string> errors = session.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(ErrorCode(errors[0]), -363);
  EXPECT_EQ(session.Ask("syst:mem:str1?"), "\"\"");
}

TEST(Interpreter, BinaryGarbageNeitherCrashesNorGrowsWithoutBound) {
  Session session;
  std::string garbage;
  std::uint32_t x = 12345;
  for (int i = 0; i < 300000; ++i) {
    x = x * 1664525u + 1013904223u;
    garbage += static_cast<char>(x >> 24);
  }
  for (int round = 0; round < 4; ++round) session.Input(garbage);
  EXPECT_LE(session.GetInterpreter().PendingBytes(), Interpreter::kMaxPendingBytes);
  EXPECT_LE(session.GetInterpreter().Errors().Size(), ErrorQueue::kCapacity);
  session.Input("\n");
  session.Errors();
  EXPECT_EQ(session.Ask("*OPC?"), "1");
}

TEST(Interpreter, FullErrorQueueEndsInQueueOverflow) {
  Session session;
  for (std::size_t i = 0; i < ErrorQueue::kCapacity + 5; ++i) session.Ask("NOPE:NODE");
  const std::vector<std::string> errors = session.Errors();
  ASSERT_EQ(errors.size(), ErrorQueue::kCapacity);
  EXPECT_EQ(ErrorCode(errors.front()), -113);
  EXPECT_EQ(errors.back(), "-350,\"Queue overflow\"");
}

TEST(Interpreter, UnreadRepliesBeyondTheBoundAreDiscardedWithQueryInterrupted) {
  Session session;
  session.Ask("form asc;:sens:func:fft:size S32K;:init:cont off");
  // ASCII spectra of some 250 kB each, never read.
  std::string queries;
  for (int i = 0; i < 40; ++i) queries += "trac:load:fft_ay?\n";
  session.GetInterpreter().Input(queries);
  EXPECT_LE(session.GetInterpreter().PendingBytes(), Interpreter::kMaxPendingBytes);
  while (session.GetInterpreter().TakeReply()) {
  }
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -410);
}

TEST(Interpreter, QuotedStringsKeepSemicolonsCommasBlanksAndDoubledQuotes) {
  Session session;
  session.Ask("syst:mem:str3 'a;b, c ''d'''");
  EXPECT_EQ(session.Ask("syst:mem:str3?"), "\"a;b, c 'd'\"");
  session.Ask("syst:mem:str4 \"say \"\"hi\"\"\"");
  EXPECT_EQ(session.Ask("syst:mem:str4?"), "\"say \"\"hi\"\"\"");
  EXPECT_TRUE(session.Errors().empty());
}

TEST(Interpreter, UnterminatedStringIsAnError) {
  Session session;
  session.Ask("syst:mem:str1 'open");
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -151);
}

TEST(Interpreter, MemoryStringNumberOutsideOneTo32IsSuffixOutOfRange) {
  Session session;
  session.Ask("syst:mem:str33 'x'");
  EXPECT_EQ(ErrorCode(session.Errors().at(0)), -114);
  session.Ask("syst:mem:str32 'x'");
  EXPECT_EQ(session.Ask("syst:mem:str32?"), "\"x\"");
}

TEST(Interpreter, CarriageReturnBeforeLineFeedIsAccepted) {
  Session session;
  EXPECT_EQ(session.Input("*OPC?\r\n"), std::vector<std::string>{"1\n"});
}

TEST(Interpreter, ClsEmptiesTheErrorQueue) {
  Session session;
  session.Ask("NOPE");
  session.Ask("*CLS");
  EXPECT_EQ(session.Ask("SYST:ERR?"), "0,\"No error\"");
}

TEST(Interpreter, NewSessionDropsAPartialLineAndUnreadReplies) {
  Session session;
  session.GetInterpreter().Input("*IDN?\nsyst:mem:str1 'half");
  session.GetInterpreter().StartSession();
  EXPECT_FALSE(session.GetInterpreter().HasReply());
  EXPECT_EQ(session.Ask("syst:mem:str1?"), "\"\"");
}

}  // namespace
}  // namespace multitone::sim
