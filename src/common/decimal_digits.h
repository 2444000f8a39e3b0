#pragma once
// The decimal form of a float, rounded to a number of significant digits:
// the digit string and the decimal exponent of its first digit. Both the
// plain number text and the rounded table cells start from this form.
#include <string>

namespace multitone {

struct DecimalDigits {
  std::string digits;  // significant digits, no trailing zeros; "0" for zero
  int exponent = 0;    // value = d.ddd × 10^exponent
};

// REQUIRES: magnitude is finite and not negative.
// Rounds the exact binary value to `significant` digits, an exact tie to even.
// Ties do occur: doubles below 2^53 hold 16-digit integers exactly
// (1234567890123445 gives 123456789012344 at 15 digits), floats below 2^24
// 8-digit ones (12345665 gives 1234566 at 7).
DecimalDigits SignificantDigits(double magnitude, int significant);
DecimalDigits SignificantDigits(float magnitude, int significant);

// The integer's decimal digits; exponent = digit count - 1.
DecimalDigits IntegerDigits(long long magnitude);

}  // namespace multitone
