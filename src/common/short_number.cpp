#include "common/short_number.h"

#include <charconv>

namespace multitone {

std::string ShortNumber(double value) {
  // The text of printf's "%.6g" in the C locale, which to_chars gives without
  // printf's own multi-precision arithmetic.
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
  return std::string(text, end);
}

}  // namespace multitone
