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
// Rounds the exact binary value to `significant` digits (half to even on the
// exact value, which is never a tie for the digit counts used here).
DecimalDigits SignificantDigits(double magnitude, int significant);
DecimalDigits SignificantDigits(float magnitude, int significant);

// The integer's decimal digits; exponent = digit count - 1.
DecimalDigits IntegerDigits(long long magnitude);

}  // namespace multitone
