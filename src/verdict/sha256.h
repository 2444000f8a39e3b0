#pragma once
// SHA-256 of some bytes as 64 lower-case hex digits: how a limits file is
// named in every stored result.
#include <string>
#include <string_view>

namespace multitone {

std::string Sha256Hex(std::string_view bytes);

}  // namespace multitone
