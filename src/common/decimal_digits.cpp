#include "common/decimal_digits.h"

#include <charconv>

namespace multitone {
namespace {

// Reads to_chars' scientific output "d.dddde±xx" into digits and exponent.
template <typename Float>
DecimalDigits FromScientific(Float magnitude, int significant) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::scientific, significant - 1);
  DecimalDigits out;
  const char* p = buffer;
  const char* const end = result.ptr;
  for (; p != end && *p != 'e'; ++p) {
    if (*p != '.') out.digits += *p;
  }
  if (p != end) {
    const char* e = p + 1;
    if (*e == '+') ++e;  // from_chars takes a minus, not a plus
    std::from_chars(e, end, out.exponent);
  }
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  if (out.digits == "0") out.exponent = 0;
  return out;
}

}  // namespace

DecimalDigits SignificantDigits(double magnitude, int significant) {
  return FromScientific(magnitude, significant);
}

DecimalDigits SignificantDigits(float magnitude, int significant) {
  return FromScientific(magnitude, significant);
}

DecimalDigits IntegerDigits(long long magnitude) {
  DecimalDigits out;
  out.digits = std::to_string(magnitude);
  out.exponent = static_cast<int>(out.digits.size()) - 1;
  while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
  return out;
}

}  // namespace multitone
