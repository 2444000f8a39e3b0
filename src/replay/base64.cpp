#include "replay/base64.h"

#include <array>
#include <cstdint>

namespace multitone {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c) {
  const auto at = kAlphabet.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                            (std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                            std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t n = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (left == 2) n |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
    std::array<int, 4> v{};
    for (int k = 0; k < 4 - padding; ++k) {
      v[k] = ValueOf(text[i + k]);
      if (v[k] < 0) return std::nullopt;
    }
    const std::uint32_t n = (static_cast<std::uint32_t>(v[0]) << 18) | (static_cast<std::uint32_t>(v[1]) << 12) |
                            (static_cast<std::uint32_t>(v[2]) << 6) | static_cast<std::uint32_t>(v[3]);
    out += static_cast<char>((n >> 16) & 0xff);
    if (padding < 2) out += static_cast<char>((n >> 8) & 0xff);
    if (padding < 1) out += static_cast<char>(n & 0xff);
    // Canonical: the bits the padding leaves over are zero.
    if ((padding == 1 && (n & 0xff) != 0) || (padding == 2 && (n & 0xffff) != 0)) return std::nullopt;
  }
  return out;
}

}  // namespace multitone
