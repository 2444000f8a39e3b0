#pragma once
// The IEEE 488.2 definite-length block, decoded the same way whatever carried
// it: "#", a digit n of 1-9, n digits of byte count (a multiple of 4, at most
// kMaxBlockBytes), then that many bytes of little-endian IEEE 754 32-bit
// floats, every one finite. The stream reader feeds it a reply as it arrives;
// the VXI-11 transport hands it a whole message. Every malformed shape fails
// with RunError 440 and a sentence that says what was seen, after `what`.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace multitone {

constexpr std::size_t kMaxBlockBytes = std::size_t{16} << 20;  // a block's data: 16 MiB

struct BlockHeader {
  std::size_t header_bytes = 0;  // "#", n and the n digits
  std::size_t data_bytes = 0;
};

// The header at the start of `bytes`, or nullopt while it is incomplete.
// Fails as soon as the bytes present cannot start a valid header.
std::optional<BlockHeader> ParseBlockHeader(std::string_view bytes, const std::string& what);

// The values of a block's data (data_bytes of ParseBlockHeader).
std::vector<float> DecodeBlockData(std::string_view data, const std::string& what);

// A whole block message: header, data, and nothing after it but at most one
// LF (a message ends with END, with or without an LF before it).
std::vector<float> DecodeBlockMessage(std::string_view message, const std::string& what);

// A few bytes of `bytes`, quoted and escaped, for a person to read in an
// error report: "\"#2x8\\x00...\"...".
std::string SampleOf(std::string_view bytes);

}  // namespace multitone
