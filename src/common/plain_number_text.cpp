#include "common/plain_number_text.h"

#include <cmath>
#include <cstdlib>

#include "common/decimal_digits.h"
#include "common/run_error.h"

namespace multitone {
namespace {

constexpr int kDigits64 = 15;
constexpr int kDigits32 = 7;

// Lays out sign and digits; `widest_positional` is the largest exponent
// written positionally (14 or 6).
std::string LayOutNumberText(bool negative, const DecimalDigits& d, int widest_positional) {
  std::string text(1, negative ? '-' : ' ');
  const int e = d.exponent;
  const int count = static_cast<int>(d.digits.size());
  if (d.digits == "0") return " 0";
  if (e >= -4 && e <= widest_positional) {
    if (e >= 0) {
      const int whole = e + 1;
      text.append(d.digits, 0, std::min(whole, count));
      if (count < whole) text.append(static_cast<std::size_t>(whole - count), '0');
      if (count > whole) {
        text += '.';
        text.append(d.digits, static_cast<std::size_t>(whole));
      }
    } else {
      text += '.';
      text.append(static_cast<std::size_t>(-e - 1), '0');
      text += d.digits;
    }
    return text;
  }
  text += d.digits[0];
  if (count > 1) {
    text += '.';
    text.append(d.digits, 1);
  }
  text += 'E';
  text += e < 0 ? '-' : '+';
  const std::string magnitude = std::to_string(std::abs(e));
  if (magnitude.size() < 2) text += '0';
  text += magnitude;
  return text;
}

template <typename Float>
std::string FloatText(Float value, int significant, int widest_positional) {
  if (!std::isfinite(value)) {
    throw RunError(std::isnan(value) ? ErrorNumber::InvalidFloatingPoint : ErrorNumber::Overflow,
                   "a number to be written is not finite");
  }
  if (value == 0) return " 0";
  return LayOutNumberText(value < 0, SignificantDigits(std::fabs(value), significant),
                          widest_positional);
}

}  // namespace

std::string PlainNumberText(double value) { return FloatText(value, kDigits64, 14); }

std::string PlainNumberText(float value) { return FloatText(value, kDigits32, 6); }

std::string PlainNumberText(std::int32_t value) {
  const long long v = value;
  return (v < 0 ? "-" : " ") + std::to_string(v < 0 ? -v : v);
}

std::string PlainNumberText(const GeneralValue& value) {
  switch (value.Kind()) {
    case ValueKind::Empty: return " 0";
    case ValueKind::Int16: return PlainNumberText(static_cast<std::int32_t>(value.AsInt16()));
    case ValueKind::Int32: return PlainNumberText(value.AsInt32());
    case ValueKind::Float32: return PlainNumberText(value.AsFloat32());
    case ValueKind::Float64: return PlainNumberText(value.AsFloat64());
    case ValueKind::Text: break;
  }
  throw RunError(ErrorNumber::TypeMismatch, "text where a number was expected");
}

std::string WithoutPadding(std::string number_text) {
  if (!number_text.empty() && number_text.front() == ' ') number_text.erase(0, 1);
  return number_text;
}

}  // namespace multitone
