#include "link/block_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/run_error.h"
#include "link/analyzer_link.h"

namespace multitone {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& problem) {
  throw RunError(ErrorNumber::AnalyzerOperationFailed, what + ": " + problem);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

float LittleEndianFloat(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                             static_cast<std::uint32_t>(b[2]) << 16 |
                             static_cast<std::uint32_t>(b[3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::string SampleOf(std::string_view bytes) {
  constexpr std::size_t kShown = 24;
  std::string shown = "\"";
  for (const char c : EscapeForTrace(bytes.substr(0, kShown))) {
    if (c == '"') shown += '\\';
    shown += c;
  }
  shown += '"';
  if (bytes.size() > kShown) shown += "...";
  return shown;
}

std::optional<BlockHeader> ParseBlockHeader(std::string_view bytes, const std::string& what) {
  if (bytes.empty()) return std::nullopt;
  if (bytes[0] != '#') {
    Fail(what, "expected a binary block starting with '#', got " + SampleOf(bytes));
  }
  if (bytes.size() < 2) return std::nullopt;
  const char size_digit = bytes[1];
  if (size_digit == '0') Fail(what, "indefinite-length block (#0) is not accepted");
  if (!IsDigit(size_digit)) Fail(what, "malformed block header " + SampleOf(bytes));
  const std::size_t digits = static_cast<std::size_t>(size_digit - '0');
  std::size_t count = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (2 + i >= bytes.size()) return std::nullopt;
    const char c = bytes[2 + i];
    if (!IsDigit(c)) Fail(what, "malformed block header " + SampleOf(bytes));
    count = count * 10 + static_cast<std::size_t>(c - '0');
  }
  if (count > kMaxBlockBytes) {
    Fail(what, "block of " + std::to_string(count) + " bytes is over the 16 MiB limit");
  }
  if (count % 4 != 0) {
    Fail(what, "block of " + std::to_string(count) + " bytes is not a whole number of 32-bit floats");
  }
  return BlockHeader{2 + digits, count};
}

std::vector<float> DecodeBlockData(std::string_view data, const std::string& what) {
  std::vector<float> values(data.size() / 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = LittleEndianFloat(data.data() + 4 * i);
    if (!std::isfinite(values[i])) {
      Fail(what, "value " + std::to_string(i) + " of the block is not a finite number");
    }
  }
  return values;
}

std::vector<float> DecodeBlockMessage(std::string_view message, const std::string& what) {
  if (message.empty()) Fail(what, "expected a binary block, got an empty message");
  const std::optional<BlockHeader> header = ParseBlockHeader(message, what);
  if (!header) Fail(what, "block header ended early " + SampleOf(message));
  const std::size_t have = message.size() - header->header_bytes;
  if (have < header->data_bytes) {
    Fail(what, "block ended after " + std::to_string(have) + " of " + std::to_string(header->data_bytes) +
                   " bytes");
  }
  const std::string_view after = message.substr(header->header_bytes + header->data_bytes);
  if (!after.empty() && after != "\n") {
    Fail(what, "block of " + std::to_string(header->data_bytes) + " bytes followed by " + SampleOf(after));
  }
  return DecodeBlockData(message.substr(header->header_bytes, header->data_bytes), what);
}

}  // namespace multitone
