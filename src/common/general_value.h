#pragma once
// A value that carries its kind: empty, 16-bit or 32-bit integer, 32-bit or
// 64-bit float, or text. Fields of the measurement record whose kind changes
// during a run hold one, because the kind decides how many digits the value
// shows once it is written into a command (7 for a 32-bit float, 15 for a
// 64-bit float, all for an integer).
//
// Arithmetic follows these rules:
//  - empty reads as the 16-bit integer 0 in arithmetic and as "" as text;
//  - + - * give the wider kind in the order int16, int32, float32, float64,
//    except that float32 with int32 gives float64;
//  - an int16 result that does not fit widens to int32; an int32 result that
//    does not fit is an overflow;
//  - / gives float32 when each operand is an int16 or a float32, float64
//    otherwise;
//  - Int keeps the kind; Sqrt gives float64; text + text joins.
// Every failure (overflow, division by zero, 0/0, text in arithmetic) throws
// RunError with its number.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace multitone {

enum class ValueKind { Empty, Int16, Int32, Float32, Float64, Text };

class GeneralValue {
 public:
  GeneralValue() = default;  // empty

  static GeneralValue Int16(std::int16_t value) { return GeneralValue(value); }
  static GeneralValue Int32(std::int32_t value) { return GeneralValue(value); }
  static GeneralValue Float32(float value) { return GeneralValue(value); }
  static GeneralValue Float64(double value) { return GeneralValue(value); }
  static GeneralValue Text(std::string value) { return GeneralValue(std::move(value)); }

  ValueKind Kind() const { return static_cast<ValueKind>(value_.index()); }
  bool IsEmpty() const { return Kind() == ValueKind::Empty; }

  // The numeric value, exact for every numeric kind; empty gives 0.
  // Throws RunError 13 for text.
  double ToDouble() const;
  // The text; empty gives "". Throws RunError 13 for a number.
  const std::string& ToText() const;

  // Raw access for code that already knows the kind.
  std::int16_t AsInt16() const { return std::get<std::int16_t>(value_); }
  std::int32_t AsInt32() const { return std::get<std::int32_t>(value_); }
  float AsFloat32() const { return std::get<float>(value_); }
  double AsFloat64() const { return std::get<double>(value_); }

  friend GeneralValue operator+(const GeneralValue& a, const GeneralValue& b);
  friend GeneralValue operator-(const GeneralValue& a, const GeneralValue& b);
  friend GeneralValue operator*(const GeneralValue& a, const GeneralValue& b);
  friend GeneralValue operator/(const GeneralValue& a, const GeneralValue& b);
  GeneralValue& operator+=(const GeneralValue& other) { return *this = *this + other; }

  friend bool operator==(const GeneralValue& a, const GeneralValue& b) = default;

 private:
  explicit GeneralValue(std::int16_t value) : value_(value) {}
  explicit GeneralValue(std::int32_t value) : value_(value) {}
  explicit GeneralValue(float value) : value_(value) {}
  explicit GeneralValue(double value) : value_(value) {}
  explicit GeneralValue(std::string value) : value_(std::move(value)) {}

  std::variant<std::monostate, std::int16_t, std::int32_t, float, double, std::string> value_;
};

// Rounds toward minus infinity, keeping the kind.
GeneralValue Int(const GeneralValue& value);
// The square root as a 64-bit float.
GeneralValue Sqrt(const GeneralValue& value);

// Numeric comparisons (text is not comparable: RunError 13).
bool operator<(const GeneralValue& a, const GeneralValue& b);
bool operator>(const GeneralValue& a, const GeneralValue& b);
bool operator<=(const GeneralValue& a, const GeneralValue& b);
bool operator>=(const GeneralValue& a, const GeneralValue& b);

// Converts to a 32-bit integer as an index is formed: the nearest integer,
// halves to even; a value outside the 32-bit range is an overflow (6).
std::int32_t ToInt32(const GeneralValue& value);
std::int32_t ToInt32(double value);


}  // namespace multitone
