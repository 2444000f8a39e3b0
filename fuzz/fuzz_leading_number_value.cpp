// Fuzz target: the reply text to number conversion on arbitrary text.
//
// Invariants: it returns a finite double or throws RunError 13, nothing else;
// and the value is the one a second reading written here gives. That reading
// finds the number's extent with its own scanner over the text without its
// blanks, tabs and LFs, converts it with std::from_chars (not strtod), and
// says which texts are too large for a double: from_chars reports them as out
// of range, and so it does numbers too small for any subnormal, told apart by
// the decimal exponent of the first significant digit.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "common/leading_number_value.h"
#include "common/run_error.h"
#include "fuzz_check.h"

namespace multitone::fuzz {
namespace {

enum class Reading { Number, TooLarge };

struct Expected {
  Reading reading = Reading::Number;
  double value = 0.0;
  std::string number;  // the characters read as the number, for reports
};

bool Digit(char c) { return '0' <= c && c <= '9'; }

// Adds a decimal digit to a saturating exponent.
long long Accumulate(long long exponent, char digit) {
  constexpr long long kCap = 1'000'000'000;
  return exponent >= kCap ? kCap : exponent * 10 + (digit - '0');
}

Expected ReadExpected(std::string_view text) {
  std::string s;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    s.push_back(c);
  }
  Expected out;
  std::size_t at = 0;
  bool negative = false;
  if (at < s.size() && (s[at] == '-' || s[at] == '+')) negative = s[at++] == '-';

  // Mantissa: the digits with at most one point; `first` is the decimal
  // exponent of the first nonzero digit.
  std::string mantissa;
  long long first = 0;
  bool nonzero = false;
  long long place = -1;  // decimal exponent of the digit being read, once past the point
  std::size_t whole_digits = 0;
  for (; at < s.size() && Digit(s[at]); ++at) {
    mantissa.push_back(s[at]);
    if (!nonzero && s[at] != '0') nonzero = true;
    if (nonzero) ++whole_digits;
  }
  if (nonzero) first = static_cast<long long>(whole_digits) - 1;
  if (at < s.size() && s[at] == '.') {
    mantissa.push_back('.');
    for (++at; at < s.size() && Digit(s[at]); ++at, --place) {
      mantissa.push_back(s[at]);
      if (!nonzero && s[at] != '0') {
        nonzero = true;
        first = place;
      }
    }
  }
  if (mantissa.empty() || mantissa == ".") return out;  // no number: 0

  std::string exponent_text;
  long long exponent = 0;
  if (at < s.size() && (s[at] == 'E' || s[at] == 'e' || s[at] == 'D' || s[at] == 'd')) {
    std::size_t e = at + 1;
    bool exponent_negative = false;
    if (e < s.size() && (s[e] == '-' || s[e] == '+')) exponent_negative = s[e++] == '-';
    const std::size_t digits_at = e;
    for (; e < s.size() && Digit(s[e]); ++e) exponent = Accumulate(exponent, s[e]);
    if (e > digits_at) {
      exponent_text = std::string("e") + (exponent_negative ? "-" : "") + s.substr(digits_at, e - digits_at);
      if (exponent_negative) exponent = -exponent;
    } else {
      exponent = 0;
    }
  }
  out.number = (negative ? "-" : "") + mantissa + exponent_text;
  const std::string unsigned_number = mantissa + exponent_text;
  double value = 0.0;
  const auto result = std::from_chars(unsigned_number.data(), unsigned_number.data() + unsigned_number.size(),
                                      value, std::chars_format::general);
  FUZZ_EXPECT(result.ptr == unsigned_number.data() + unsigned_number.size(),
              "from_chars stopped early in " + unsigned_number);
  if (result.ec == std::errc::result_out_of_range) {
    FUZZ_EXPECT(nonzero, "zero out of range: " + unsigned_number);
    if (first + exponent >= 0) {
      out.reading = Reading::TooLarge;
      return out;
    }
    value = 0.0;  // below the smallest subnormal
  } else {
    FUZZ_EXPECT(result.ec == std::errc(), "from_chars refused " + unsigned_number);
  }
  out.value = negative ? -value : value;
  return out;
}

std::string Bits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (0x%016llx)", value, static_cast<unsigned long long>(bits));
  return text;
}

}  // namespace
}  // namespace multitone::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace multitone;
  using namespace multitone::fuzz;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Expected expected = ReadExpected(text);
  try {
    const double value = LeadingNumberValue(text);
    FUZZ_EXPECT(std::isfinite(value), "returned " + Bits(value));
    FUZZ_EXPECT(expected.reading == Reading::Number, expected.number + " is too large, yet gave " + Bits(value));
    // Bit for bit, so that -0 stays -0.
    FUZZ_EXPECT(std::memcmp(&value, &expected.value, sizeof value) == 0,
                "\"" + expected.number + "\" gave " + Bits(value) + ", expected " + Bits(expected.value));
  } catch (const RunError& error) {
    FUZZ_EXPECT(error.Number() == ErrorNumber::TypeMismatch,
                "error " + std::to_string(static_cast<int>(error.Number())) + ": " + error.Description());
    FUZZ_EXPECT(expected.reading == Reading::TooLarge,
                "\"" + expected.number + "\" was refused: " + error.Description());
  } catch (const std::exception& other) {
    FUZZ_EXPECT(false, std::string("an exception other than RunError: ") + other.what());
  }
  return 0;
}
