#include "common/float_check.h"

#include <cmath>
#include <limits>
#include <string>

#include "common/run_error.h"

namespace multitone {
namespace {

template <typename Float>
Float Divide(Float numerator, Float denominator, std::string_view what) {
  const std::string name(what);
  if (std::isnan(numerator) || std::isnan(denominator)) {
    throw RunError(ErrorNumber::InvalidFloatingPoint, name + ": operand is not a number");
  }
  if (denominator == 0) {
    if (numerator == 0) {
      throw RunError(ErrorNumber::InvalidFloatingPoint, name + ": 0 / 0");
    }
    throw RunError(ErrorNumber::DivisionByZero, name + ": division by zero");
  }
  const Float quotient = numerator / denominator;
  if (std::isnan(quotient)) {
    throw RunError(ErrorNumber::InvalidFloatingPoint, name + ": quotient is not a number");
  }
  if (std::isinf(quotient) && !std::isinf(numerator)) {
    throw RunError(ErrorNumber::Overflow, name + ": quotient too large");
  }
  return quotient;
}

}  // namespace

double CheckedDivide(double numerator, double denominator, std::string_view what) {
  return Divide(numerator, denominator, what);
}

float CheckedDivide(float numerator, float denominator, std::string_view what) {
  return Divide(numerator, denominator, what);
}

float RoundToFloat32(double value, std::string_view what) {
  CheckFinite(value, what);
  if (std::fabs(value) > std::numeric_limits<float>::max()) {
    throw RunError(ErrorNumber::Overflow, std::string(what) + ": too large for a 32-bit float");
  }
  return static_cast<float>(value);
}

void CheckFinite(double value, std::string_view what) {
  if (std::isnan(value)) {
    throw RunError(ErrorNumber::InvalidFloatingPoint, std::string(what) + ": not a number");
  }
  if (std::isinf(value)) {
    throw RunError(ErrorNumber::Overflow, std::string(what) + ": result too large");
  }
}

}  // namespace multitone
