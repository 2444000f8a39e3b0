// The record file: whatever a run saw comes back from the file bit for bit,
// and anything but a whole record of a known version is refused with a line
// number and a reason.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "replay/record_file.h"

namespace multitone {
namespace {

LinkOperation Operation(LinkCall call, std::string text, std::int64_t start_us) {
  LinkOperation operation;
  operation.call = call;
  operation.text = std::move(text);
  operation.start_us = start_us;
  operation.took_us = 7;
  return operation;
}

// Every kind of operation, replies that are not text, values at the edges of
// a float, and an error.
LinkRecord EveryKindOfOperation() {
  LinkRecord record;
  record.header = {"0.1.0", "run-1", "2026-12-07T11:58:15.123Z", "tcp://[::1]:5025", "tcp",
                   {{"timeout_ms", "3000"}, {"serial", "PB20000001"}}, "limits.toml", std::string(64, 'a'), true};
  record.operations.push_back(Operation(LinkCall::Initialize, "selfadjustment", 0));
  record.operations.push_back(Operation(LinkCall::Write, "SENS:UNIT?", 10));
  LinkOperation read = Operation(LinkCall::Read, "", 20);
  read.reply = std::string("\xfe\x00V\r\"\\ caf\xc3\xa9", 13);
  record.operations.push_back(read);
  read.reply = std::string("FLAT \x01\t\r\x7f", 10);  // ASCII, control characters too
  record.operations.push_back(read);
  LinkOperation block = Operation(LinkCall::ReadBlock, "trac:load:fft_ay?", 30);
  block.block = {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max(),
                 -1.5e-30f, 0.1936822f};
  record.operations.push_back(block);
  LinkOperation failed = Operation(LinkCall::ReadBlock, "trac:load:fft_by?", 40);
  failed.error = RecordedError{440, "block for trac:load:fft_by?: connection closed by the analyzer"};
  record.operations.push_back(failed);
  return record;
}

TEST(RecordFile, KeepsEveryOperationBitForBit) {
  const LinkRecord written = EveryKindOfOperation();
  const LinkRecord read = DecodeRecord(EncodeRecord(written));
  EXPECT_EQ(read.header.analyzer, written.header.analyzer);
  EXPECT_EQ(read.header.options, written.header.options);
  EXPECT_EQ(read.header.limits_sha256, written.header.limits_sha256);
  EXPECT_TRUE(read.header.edited);
  ASSERT_EQ(read.operations.size(), written.operations.size());
  for (std::size_t i = 0; i < read.operations.size(); ++i) {
    EXPECT_TRUE(read.operations[i].SameExchange(written.operations[i])) << "operation " << i + 1;
    EXPECT_EQ(read.operations[i].start_us, written.operations[i].start_us);
  }
  // -0.0 and 0.0 compare equal as floats; the record keeps the sign bit.
  EXPECT_TRUE(std::signbit(read.operations[4].block[1]));
}

TEST(RecordFile, RefusesEveryRecordCutShort) {
  const std::string whole = EncodeRecord(EveryKindOfOperation());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    EXPECT_THROW(DecodeRecord(whole.substr(0, length)), RecordError) << "first " << length << " bytes";
  }
}

TEST(RecordFile, RefusesACorruptRecordSayingWhere) {
  const std::string whole = EncodeRecord(EveryKindOfOperation());
  const auto edit = [&](std::string_view from, std::string_view to) {
    std::string text = whole;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  struct Case {
    std::string text;
    const char* says;
  };
  const Case cases[] = {
      {edit("\"version\":1", "\"version\":2"), "line 1: format version 2 is newer than this program reads (1)"},
      {edit("\"record\":\"multitone-link-record\"", "\"record\":\"other\""), "line 1: not a multitone link record"},
      {edit("{\"op\":2,", "{\"op\":3,"), "line 3: operation 2 expected"},
      {edit("\"call\":\"write\"", "\"call\":\"erase\""), "line 3: unknown call \"erase\""},
      {edit("\"values\":6", "\"values\":5"), "line 6: a block of 5 values holds 24 bytes"},
      {edit("\"block_base64\":\"", "\"block_base64\":\"*"), "line 6: \"block_base64\" is not base64"},
      {edit("AAAAAAAAAIAB", "AAAAAAAAwH8B"), "line 6: block value 1 is not finite"},
      {edit("\"number\":440", "\"number\":441"), "line 7: unknown error number 441"},
      {edit("\"operations\":6", "\"operations\":5"), "the end line counts 5 operations, the record holds 6"},
      {whole + "{}\n", "a line after the end line"},
      {edit("\"t_us\":10,", "\"t_us\":-10,"), "line 3: \"t_us\" is not a whole number"},
  };
  for (const Case& c : cases) {
    try {
      DecodeRecord(c.text);
      ADD_FAILURE() << "accepted: " << c.says;
    } catch (const RecordError& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr(c.says));
    }
  }
}

}  // namespace
}  // namespace multitone
