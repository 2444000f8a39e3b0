#pragma once
// Floating-point status tests. The run tests the result after each of its
// divisions and decibel computations: an invalid operation (5), a division by
// zero (11) or an overflow (6) there ends the run instead of carrying a NaN
// or an infinity into a result.
#include <string_view>

namespace multitone {

// numerator / denominator, or RunError: 0/0 and NaN operands are invalid (5),
// x/0 is a division by zero (11), a finite quotient too large is an
// overflow (6). `what` names the quantity for the error report.
double CheckedDivide(double numerator, double denominator, std::string_view what);
float CheckedDivide(float numerator, float denominator, std::string_view what);

// The nearest 32-bit float, or RunError 6 when the value is beyond its range.
float RoundToFloat32(double value, std::string_view what);

// RunError 5 for a NaN, 6 for an infinity.
void CheckFinite(double value, std::string_view what);

}  // namespace multitone
