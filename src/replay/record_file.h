#pragma once
// The record file: JSON Lines, one JSON object per line, each ending in LF.
//
//   line 1     the header: {"record": "multitone-link-record", "version": 1,
//              program_version, run_id, started_at, analyzer, transport,
//              options {name: value}, limits {file, sha256} or null,
//              and "edited": true once a reply was changed by hand}
//   then       one line per operation, in order: {"op": 1, "call":
//              "initialize"|"write"|"read"|"read_block"|"close"|"open",
//              "t_us", "took_us", "text", "reply", "values", "block_base64",
//              "error": {"number", "text"}}
//   last line  {"end": true, "operations": N}
//
// A text that is not plain ASCII is kept as "<name>_base64" instead; a
// block is its values as little-endian 32-bit floats, exactly the bytes of
// the analyzer's block, in base64. docs/link-record.md tells the whole format.
#include <stdexcept>
#include <string>
#include <string_view>

#include "replay/link_record.h"

namespace multitone {

inline constexpr int kRecordVersion = 1;

// A record that cannot be read: "LINE: what is wrong" (or without a line
// where the whole file is at fault).
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string EncodeRecord(const LinkRecord& record);
// Throws RecordError for anything but a whole record of a version this
// program reads.
LinkRecord DecodeRecord(std::string_view text);
// Reads and decodes the file; RecordError messages start with the path.
LinkRecord ReadRecordFile(const std::string& path);

}  // namespace multitone
