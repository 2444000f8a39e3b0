#include "common/utf8_text.h"

#include <cstdint>

namespace multitone {
namespace {

// The length of the valid UTF-8 sequence at the start of `text` and its code
// point, or 0 when it does not start with one (overlong forms, surrogates
// and code points past U+10FFFF are not valid).
std::size_t Sequence(std::string_view text, std::uint32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  if (first < 0x80) {
    code = first;
    return 1;
  } else if (first >= 0xc2 && first <= 0xdf) {
    length = 2;
    code = first & 0x1fu;
  } else if (first >= 0xe0 && first <= 0xef) {
    length = 3;
    code = first & 0x0fu;
  } else if (first >= 0xf0 && first <= 0xf4) {
    length = 4;
    code = first & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i) & 0x3fu);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10ffff))) return 0;
  if (code >= 0xd800 && code <= 0xdfff) return 0;
  return length;
}

bool IsControl(std::uint32_t code) { return code < 0x20 || (code >= 0x7f && code <= 0x9f); }

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::uint32_t code = 0;
  while (!text.empty()) {
    const std::size_t n = Sequence(text, code);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}

std::string PrintableUtf8(std::string_view text) {
  static constexpr std::string_view kReplacement = "\xef\xbf\xbd";
  const auto plain = [](char c) { return (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\n'; };
  std::string out;
  out.reserve(text.size());
  std::uint32_t code = 0;
  while (!text.empty()) {
    // Printable ASCII, the usual case, is copied a run at a time.
    std::size_t run = 0;
    while (run < text.size() && plain(text[run])) ++run;
    out.append(text.substr(0, run));
    text.remove_prefix(run);
    if (text.empty()) break;
    const std::size_t n = Sequence(text, code);
    if (n == 0) {
      out += kReplacement;
      text.remove_prefix(1);
      continue;
    }
    if (IsControl(code) && code != '\t' && code != '\n') {
      out += kReplacement;
    } else {
      out += text.substr(0, n);
    }
    text.remove_prefix(n);
  }
  return out;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xc0u) != 0x80u) ++count;
  }
  return count;
}

}  // namespace multitone
