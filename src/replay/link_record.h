#pragma once
// A run's analyzer exchange as it happened: every operation of the link in
// order, with when it started, how long it took, what was sent, what came
// back (a block's values kept bit for bit) and the error it ended in, if
// any. Plain values: how a record is written to a file is record_file.h's
// business, how one is taken and answered from is the transports'.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace multitone {

enum class LinkCall { Open, Initialize, Write, Read, ReadBlock, Close };

// "open", "initialize", "write", "read", "read_block", "close".
const char* LinkCallName(LinkCall call);
// The inverse; nullopt for any other text.
std::optional<LinkCall> LinkCallNamed(std::string_view name);

struct RecordedError {
  int number = 0;           // the RunError's number (429, 440, ...)
  std::string description;  // its sentence, without the step

  friend bool operator==(const RecordedError&, const RecordedError&) = default;
};

struct LinkOperation {
  LinkCall call = LinkCall::Write;
  std::int64_t start_us = 0;  // since the link was opened
  std::int64_t took_us = 0;
  std::string text;           // Initialize's text, the command, the block query
  std::string reply;          // Read: the reply, exactly as returned
  std::vector<float> block;   // ReadBlock: every value of the block
  std::optional<RecordedError> error;  // the operation failed with this

  // Same call, texts, reply, block bits and error; times are not compared.
  bool SameExchange(const LinkOperation& other) const;
};

// What the record says about the run it came from.
struct RecordHeader {
  std::string program_version;
  std::string run_id;
  std::string started_at;      // UTC, ISO 8601
  std::string analyzer;        // the address as given
  std::string transport;       // "tcp", "vxi11", "sim", "replay"
  // The run's options as name and value, in the order given.
  std::vector<std::pair<std::string, std::string>> options;
  std::string limits_file;     // empty without limits
  std::string limits_sha256;
  // Set by whoever changed a reply by hand: the commands that carry results
  // back to the analyzer may then differ from the recorded ones on replay.
  bool edited = false;
};

struct LinkRecord {
  RecordHeader header;
  std::vector<LinkOperation> operations;
};

}  // namespace multitone
