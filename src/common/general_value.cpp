#include "common/general_value.h"

#include <cmath>
#include <limits>

#include "common/float_check.h"
#include "common/run_error.h"

namespace multitone {
namespace {

[[noreturn]] void Mismatch(std::string_view what) {
  throw RunError(ErrorNumber::TypeMismatch, std::string(what));
}

// The kind a value takes part in arithmetic with: empty counts as int16 0.
ValueKind ArithmeticKind(const GeneralValue& value) {
  switch (value.Kind()) {
    case ValueKind::Empty: return ValueKind::Int16;
    case ValueKind::Text: Mismatch("text used as a number");
    default: return value.Kind();
  }
}

ValueKind WiderKind(ValueKind a, ValueKind b) {
  if ((a == ValueKind::Float32 && b == ValueKind::Int32) ||
      (a == ValueKind::Int32 && b == ValueKind::Float32)) {
    return ValueKind::Float64;
  }
  return a > b ? a : b;
}

long long IntegerOf(const GeneralValue& value) {
  switch (value.Kind()) {
    case ValueKind::Int16: return value.AsInt16();
    case ValueKind::Int32: return value.AsInt32();
    default: return 0;  // empty
  }
}

GeneralValue IntegerResult(long long result, ValueKind kind, char symbol) {
  if (kind == ValueKind::Int16 && result >= std::numeric_limits<std::int16_t>::min() &&
      result <= std::numeric_limits<std::int16_t>::max()) {
    return GeneralValue::Int16(static_cast<std::int16_t>(result));
  }
  if (result >= std::numeric_limits<std::int32_t>::min() &&
      result <= std::numeric_limits<std::int32_t>::max()) {
    return GeneralValue::Int32(static_cast<std::int32_t>(result));
  }
  throw RunError(ErrorNumber::Overflow,
                 std::string("32-bit integer ") + symbol + " overflows: " + std::to_string(result));
}

template <typename Float>
Float FloatResult(Float result, char symbol) {
  if (std::isnan(result)) {
    throw RunError(ErrorNumber::InvalidFloatingPoint,
                   std::string("result of ") + symbol + " is not a number");
  }
  if (std::isinf(result)) {
    throw RunError(ErrorNumber::Overflow, std::string("result of ") + symbol + " too large");
  }
  return result;
}

template <typename Op>
GeneralValue Apply(const GeneralValue& a, const GeneralValue& b, char symbol, Op op) {
  const ValueKind kind = WiderKind(ArithmeticKind(a), ArithmeticKind(b));
  switch (kind) {
    case ValueKind::Int16:
    case ValueKind::Int32:
      return IntegerResult(op(IntegerOf(a), IntegerOf(b)), kind, symbol);
    case ValueKind::Float32:
      return GeneralValue::Float32(FloatResult(
          op(static_cast<float>(a.ToDouble()), static_cast<float>(b.ToDouble())), symbol));
    default:
      return GeneralValue::Float64(FloatResult(op(a.ToDouble(), b.ToDouble()), symbol));
  }
}

bool IsTextOrEmpty(const GeneralValue& v) {
  return v.Kind() == ValueKind::Text || v.Kind() == ValueKind::Empty;
}

}  // namespace

double GeneralValue::ToDouble() const {
  switch (Kind()) {
    case ValueKind::Empty: return 0.0;
    case ValueKind::Int16: return AsInt16();
    case ValueKind::Int32: return AsInt32();
    case ValueKind::Float32: return AsFloat32();
    case ValueKind::Float64: return AsFloat64();
    case ValueKind::Text: break;
  }
  Mismatch("text used as a number");
}

const std::string& GeneralValue::ToText() const {
  static const std::string kEmpty;
  if (Kind() == ValueKind::Empty) return kEmpty;
  if (Kind() != ValueKind::Text) Mismatch("number used as text");
  return std::get<std::string>(value_);
}

GeneralValue operator+(const GeneralValue& a, const GeneralValue& b) {
  if ((a.Kind() == ValueKind::Text || b.Kind() == ValueKind::Text) && IsTextOrEmpty(a) &&
      IsTextOrEmpty(b)) {
    return GeneralValue::Text(a.ToText() + b.ToText());
  }
  return Apply(a, b, '+', [](auto x, auto y) { return x + y; });
}

GeneralValue operator-(const GeneralValue& a, const GeneralValue& b) {
  return Apply(a, b, '-', [](auto x, auto y) { return x - y; });
}

GeneralValue operator*(const GeneralValue& a, const GeneralValue& b) {
  return Apply(a, b, '*', [](auto x, auto y) { return x * y; });
}

GeneralValue operator/(const GeneralValue& a, const GeneralValue& b) {
  const ValueKind ka = ArithmeticKind(a);
  const ValueKind kb = ArithmeticKind(b);
  const auto single = [](ValueKind k) { return k == ValueKind::Int16 || k == ValueKind::Float32; };
  if (single(ka) && single(kb)) {
    return GeneralValue::Float32(CheckedDivide(static_cast<float>(a.ToDouble()),
                                               static_cast<float>(b.ToDouble()), "division"));
  }
  return GeneralValue::Float64(CheckedDivide(a.ToDouble(), b.ToDouble(), "division"));
}

GeneralValue Int(const GeneralValue& value) {
  switch (ArithmeticKind(value)) {
    case ValueKind::Float32: return GeneralValue::Float32(std::floor(value.AsFloat32()));
    case ValueKind::Float64: return GeneralValue::Float64(std::floor(value.AsFloat64()));
    default: return value.IsEmpty() ? GeneralValue::Int16(0) : value;
  }
}

GeneralValue Sqrt(const GeneralValue& value) {
  const double x = value.ToDouble();
  if (x < 0) {
    throw RunError(ErrorNumber::InvalidFloatingPoint, "square root of a negative number");
  }
  return GeneralValue::Float64(std::sqrt(x));
}

bool operator<(const GeneralValue& a, const GeneralValue& b) { return a.ToDouble() < b.ToDouble(); }
bool operator>(const GeneralValue& a, const GeneralValue& b) { return a.ToDouble() > b.ToDouble(); }
bool operator<=(const GeneralValue& a, const GeneralValue& b) { return a.ToDouble() <= b.ToDouble(); }
bool operator>=(const GeneralValue& a, const GeneralValue& b) { return a.ToDouble() >= b.ToDouble(); }

std::int32_t ToInt32(double value) {
  if (std::isnan(value)) {
    throw RunError(ErrorNumber::InvalidFloatingPoint, "index is not a number");
  }
  const double rounded = std::nearbyint(value);  // halves to even
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max()) {
    throw RunError(ErrorNumber::Overflow, "value does not fit a 32-bit integer");
  }
  return static_cast<std::int32_t>(rounded);
}

std::int32_t ToInt32(const GeneralValue& value) { return ToInt32(value.ToDouble()); }

}  // namespace multitone
