#include "sim/scpi_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "sim/scpi_error.h"

namespace multitone::sim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Upper(c);
  return out;
}

// Length of the NRf number at the start of `text`, 0 when there is none.
std::size_t NumberLength(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa_digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponent_from = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    if (j > exponent_from) i = j;
  }
  return i;
}

struct UnitScale {
  std::string_view name;
  double scale;
};

double UnitFactor(std::string_view unit, Quantity quantity, const std::string& shown) {
  static constexpr UnitScale kFrequency[] = {{"HZ", 1.0}, {"KHZ", 1e3}, {"MHZ", 1e6}};
  static constexpr UnitScale kVoltage[] = {{"V", 1.0}, {"MV", 1e-3}, {"UV", 1e-6}};
  static constexpr UnitScale kDecibel[] = {{"DB", 1.0}};
  const std::string upper = UpperCase(unit);
  auto find = [&](const auto& table) {
    for (const UnitScale& u : table) {
      if (upper == u.name) return u.scale;
    }
    throw ScpiFailure(ScpiCode::InvalidSuffix, shown);
  };
  switch (quantity) {
    case Quantity::Frequency: return find(kFrequency);
    case Quantity::Voltage: return find(kVoltage);
    case Quantity::Decibel: return find(kDecibel);
    case Quantity::Plain: break;
  }
  throw ScpiFailure(ScpiCode::InvalidSuffix, shown);
}

}  // namespace

double NumberParameter(const Parameter& parameter, Quantity quantity) {
  const std::string& text = parameter.text;
  if (parameter.quoted) throw ScpiFailure(ScpiCode::DataTypeError, "string where a number belongs");
  const std::size_t length = NumberLength(text);
  if (length == 0) throw ScpiFailure(ScpiCode::DataTypeError, text);
  std::string_view number(text.data(), length);
  if (number.front() == '+') number.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
    throw ScpiFailure(ScpiCode::DataOutOfRange, text);
  }
  std::string_view unit = std::string_view(text).substr(length);
  while (!unit.empty() && (unit.front() == ' ' || unit.front() == '\t')) unit.remove_prefix(1);
  if (!unit.empty()) value *= UnitFactor(unit, quantity, text);
  return value;
}

double RangedParameter(const Parameter& parameter, Quantity quantity, const NumericRange& range) {
  if (!parameter.quoted) {
    const std::string upper = UpperCase(parameter.text);
    if (upper == "MIN" || upper == "MINIMUM") return range.low;
    if (upper == "MAX" || upper == "MAXIMUM") return range.high;
    if (upper == "DEF" || upper == "DEFAULT") return range.default_value;
  }
  const double value = NumberParameter(parameter, quantity);
  if (!(value >= range.low && value <= range.high)) throw ScpiFailure(ScpiCode::DataOutOfRange, parameter.text);
  return value;
}

bool BooleanParameter(const Parameter& parameter) {
  if (!parameter.quoted) {
    const std::string upper = UpperCase(parameter.text);
    if (upper == "ON") return true;
    if (upper == "OFF") return false;
    if (NumberLength(upper) == upper.size()) return NumberParameter(parameter, Quantity::Plain) != 0.0;
  }
  throw ScpiFailure(ScpiCode::IllegalParameterValue, parameter.text);
}

std::size_t ChoiceParameter(const Parameter& parameter, std::span<const std::string_view> choices) {
  if (parameter.quoted) throw ScpiFailure(ScpiCode::DataTypeError, "string where a choice belongs");
  const std::string upper = UpperCase(parameter.text);
  std::size_t index = 0;
  for (const std::string_view choice : choices) {
    if (upper == UpperCase(choice) || upper == ShortForm(choice)) return index;
    ++index;
  }
  throw ScpiFailure(ScpiCode::IllegalParameterValue, parameter.text);
}

const std::string& StringParameter(const Parameter& parameter) {
  if (!parameter.quoted) throw ScpiFailure(ScpiCode::DataTypeError, "expected a quoted string");
  return parameter.text;
}

std::string Nr3(double value) {
  if (!std::isfinite(value)) value = 9.91e37;
  char text[32];
  std::snprintf(text, sizeof text, "%.8E", value);
  return text;
}

std::string QuotedString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string_view ShortForm(std::string_view mnemonic) {
  std::size_t n = 0;
  while (n < mnemonic.size() && !(mnemonic[n] >= 'a' && mnemonic[n] <= 'z')) ++n;
  return mnemonic.substr(0, n);
}

}  // namespace multitone::sim
