#include "replay/link_record.h"

#include <array>
#include <cstring>

namespace multitone {
namespace {

constexpr std::array<std::pair<LinkCall, const char*>, 6> kCallNames = {{
    {LinkCall::Open, "open"},
    {LinkCall::Initialize, "initialize"},
    {LinkCall::Write, "write"},
    {LinkCall::Read, "read"},
    {LinkCall::ReadBlock, "read_block"},
    {LinkCall::Close, "close"},
}};

}  // namespace

const char* LinkCallName(LinkCall call) {
  for (const auto& [c, name] : kCallNames) {
    if (c == call) return name;
  }
  return "?";
}

std::optional<LinkCall> LinkCallNamed(std::string_view name) {
  for (const auto& [call, n] : kCallNames) {
    if (name == n) return call;
  }
  return std::nullopt;
}

bool LinkOperation::SameExchange(const LinkOperation& other) const {
  // Blocks compare by their bits: the record keeps what came over the wire.
  return call == other.call && text == other.text && reply == other.reply && error == other.error &&
         block.size() == other.block.size() &&
         (block.empty() || std::memcmp(block.data(), other.block.data(), block.size() * sizeof(float)) == 0);
}

}  // namespace multitone
