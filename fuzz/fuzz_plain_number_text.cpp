// Fuzz target: the number to command text conversion.
//
// Input: 8 bytes of a double, 4 of a float, 4 of an int32 (in the host's
// byte order; a short input is padded with zero bytes, further bytes are
// ignored).
//
// Each text is compared with the text a second way gives, written here: the
// digits and exponent from printf's "%.*e" (glibc's own rounding of the exact
// binary value, not the to_chars the program uses), laid out by filling a
// row of digit places and trimming it. Then it is read back: strtod of the
// text must equal the printf digits read as a number, lie within half a unit
// of the 15th (7th) digit of the value, and be what the reply text
// conversion reads from it too (the largest doubles round up beyond the
// double range: their texts must be refused when read back). Non-finite
// values must throw RunError; a general value of each kind must give the
// same text as its plain number; an integer's digits for the results table
// must be its text's digits without trailing zeros.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/decimal_digits.h"
#include "common/general_value.h"
#include "common/leading_number_value.h"
#include "common/plain_number_text.h"
#include "common/run_error.h"
#include "fuzz_check.h"

namespace multitone::fuzz {
namespace {

struct Rounded {
  std::string scientific;  // printf's "d.ddde±xx"
  std::string digits;      // its digits without trailing zeros
  int exponent = 0;
};

Rounded RoundWithPrintf(double magnitude, int significant) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", significant - 1, magnitude);
  Rounded out;
  out.scientific = text;
  const std::size_t e = out.scientific.find('e');
  for (std::size_t k = 0; k < e; ++k) {
    if (out.scientific[k] != '.') out.digits += out.scientific[k];
  }
  out.exponent = std::atoi(out.scientific.c_str() + e + 1);
  const std::size_t last = out.digits.find_last_not_of('0');
  out.digits.resize(last == std::string::npos ? 1 : last + 1);
  return out;
}

// The text by the rules: sign place, then positional form for exponents in
// -4..widest_positional, exponent form otherwise.
std::string ExpectedText(bool negative, const Rounded& rounded, int significant, int widest_positional) {
  std::string text = negative ? "-" : " ";
  const int e = rounded.exponent;
  if (e < -4 || e > widest_positional) {
    text += rounded.digits.substr(0, 1);
    if (rounded.digits.size() > 1) text += "." + rounded.digits.substr(1);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%+03d", e);
    return text + exponent;
  }
  // One place for each power of ten from 10^widest down to far enough below
  // the last significant digit; index = widest - power.
  const int top = widest_positional;
  const int bottom = -4 - significant;
  std::string places(static_cast<std::size_t>(top - bottom + 1), '0');
  for (std::size_t k = 0; k < rounded.digits.size(); ++k) {
    places[static_cast<std::size_t>(top - (e - static_cast<int>(k)))] = rounded.digits[k];
  }
  std::string whole = places.substr(0, static_cast<std::size_t>(top + 1));
  std::string fraction = places.substr(static_cast<std::size_t>(top + 1));
  whole.erase(0, whole.find_first_not_of('0'));
  fraction.erase(fraction.find_last_not_of('0') + 1);
  text += whole;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

std::string Shown(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// A non-finite value must be refused, whatever its kind says.
template <typename Float, typename Make>
void ExpectRefused(Float value, Make general) {
  bool refused = false;
  try {
    (void)PlainNumberText(value);
  } catch (const RunError& error) {
    FUZZ_EXPECT(error.Number() == ErrorNumber::InvalidFloatingPoint || error.Number() == ErrorNumber::Overflow,
                "non-finite value refused with error " + std::to_string(static_cast<int>(error.Number())));
    refused = true;
  }
  FUZZ_EXPECT(refused, "a text for " + Shown(static_cast<double>(value)));
  refused = false;
  try {
    (void)PlainNumberText(general(value));
  } catch (const RunError&) {
    refused = true;
  }
  FUZZ_EXPECT(refused, "a text for the general value " + Shown(static_cast<double>(value)));
}

void CheckDouble(double value) {
  if (!std::isfinite(value)) {
    ExpectRefused(value, GeneralValue::Float64);
    return;
  }
  const std::string text = PlainNumberText(value);
  FUZZ_EXPECT(PlainNumberText(GeneralValue::Float64(value)) == text, "general value differs for " + Shown(value));
  if (value == 0) {
    FUZZ_EXPECT(text == " 0", "zero gave \"" + text + "\"");
    return;
  }
  const Rounded rounded = RoundWithPrintf(std::fabs(value), 15);
  const std::string expected = ExpectedText(std::signbit(value), rounded, 15, 14);
  FUZZ_EXPECT(text == expected, Shown(value) + " gave \"" + text + "\", expected \"" + expected + "\"");

  const double back = std::strtod(text.c_str(), nullptr);
  const double rounded_value = std::strtod(rounded.scientific.c_str(), nullptr);
  FUZZ_EXPECT(back == (value < 0 ? -rounded_value : rounded_value),
              "\"" + text + "\" reads back as " + Shown(back) + ", not " + rounded.scientific);
  if (std::isinf(back)) {
    // Only the largest doubles round up beyond the largest double (to
    // 1.79769313486232E+308); reading such a text back is refused.
    FUZZ_EXPECT(std::fabs(value) > 1.797693134862315e308, "\"" + text + "\" reads back as infinite");
    bool refused = false;
    try {
      (void)LeadingNumberValue(text);
    } catch (const RunError& error) {
      refused = error.Number() == ErrorNumber::TypeMismatch;
    }
    FUZZ_EXPECT(refused, "the reply conversion did not refuse \"" + text + "\"");
    return;
  }
  FUZZ_EXPECT(std::fabs(back - value) <= std::fabs(value) * 1.01e-14,
              "\"" + text + "\" is too far from " + Shown(value));
  const double read = LeadingNumberValue(text);
  FUZZ_EXPECT(std::memcmp(&read, &back, sizeof read) == 0,
              "the reply conversion reads \"" + text + "\" as " + Shown(read));
}

void CheckFloat(float value) {
  if (!std::isfinite(value)) {
    ExpectRefused(value, GeneralValue::Float32);
    return;
  }
  const std::string text = PlainNumberText(value);
  FUZZ_EXPECT(PlainNumberText(GeneralValue::Float32(value)) == text,
              "general value differs for " + Shown(value));
  if (value == 0) {
    FUZZ_EXPECT(text == " 0", "zero gave \"" + text + "\"");
    return;
  }
  // Widening to double is exact, so printf rounds the float's own value.
  const Rounded rounded = RoundWithPrintf(std::fabs(static_cast<double>(value)), 7);
  const std::string expected = ExpectedText(std::signbit(value), rounded, 7, 6);
  FUZZ_EXPECT(text == expected, Shown(value) + "f gave \"" + text + "\", expected \"" + expected + "\"");

  const float back = std::strtof(text.c_str(), nullptr);
  const float rounded_value = std::strtof(rounded.scientific.c_str(), nullptr);
  FUZZ_EXPECT(back == (value < 0 ? -rounded_value : rounded_value),
              "\"" + text + "\" reads back as " + Shown(back) + ", not " + rounded.scientific);
  FUZZ_EXPECT(std::fabs(static_cast<double>(back) - value) <= std::fabs(static_cast<double>(value)) * 1.01e-6,
              "\"" + text + "\" is too far from " + Shown(value));
}

void CheckInteger(std::int32_t value) {
  const std::string text = PlainNumberText(value);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%c%lld", value < 0 ? '-' : ' ',
                std::llabs(static_cast<long long>(value)));
  FUZZ_EXPECT(text == expected, std::to_string(value) + " gave \"" + text + "\"");
  FUZZ_EXPECT(PlainNumberText(GeneralValue::Int32(value)) == text, "general value differs for " + text);
  FUZZ_EXPECT(std::strtoll(text.c_str(), nullptr, 10) == value, "\"" + text + "\" reads back differently");
  // The integer's digits as the results table rounds them: no trailing zeros,
  // the exponent of the first digit.
  const std::string magnitude = text.substr(1);
  const DecimalDigits digits = IntegerDigits(std::llabs(static_cast<long long>(value)));
  const std::size_t last = magnitude.find_last_not_of('0');
  FUZZ_EXPECT(digits.digits == magnitude.substr(0, last == std::string::npos ? 1 : last + 1) &&
                  digits.exponent == static_cast<int>(magnitude.size()) - 1,
              "the digits of " + text + " are " + digits.digits + " E" + std::to_string(digits.exponent));
  const auto small = static_cast<std::int16_t>(value & 0xffff);
  FUZZ_EXPECT(PlainNumberText(GeneralValue::Int16(small)) == PlainNumberText(std::int32_t{small}),
              "16-bit general value differs for " + std::to_string(small));
}

}  // namespace
}  // namespace multitone::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace multitone::fuzz;

  unsigned char bytes[16] = {};
  if (size > 0) std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  double as_double;
  float as_float;
  std::int32_t as_integer;
  std::memcpy(&as_double, bytes, 8);
  std::memcpy(&as_float, bytes + 8, 4);
  std::memcpy(&as_integer, bytes + 12, 4);
  CheckDouble(as_double);
  CheckFloat(as_float);
  CheckInteger(as_integer);
  return 0;
}
