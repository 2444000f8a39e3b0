#pragma once
// Standard base64 (RFC 4648, with "=" padding, no line breaks): how a record
// keeps bytes that are not text.
#include <optional>
#include <string>
#include <string_view>

namespace multitone {

std::string Base64Encode(std::string_view bytes);
// nullopt for anything but canonical base64 (wrong length, a stray
// character, padding in the middle, non-zero bits in the padding).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace multitone
