#include "common/leading_number_value.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "common/run_error.h"

namespace multitone {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number's characters in the form strtod reads ("D" exponents as "E"),
// or "" when the text does not start with a number.
std::string NumberPrefix(std::string_view text) {
  std::string squeezed;
  squeezed.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') squeezed += c;
  }
  std::size_t i = 0;
  const std::size_t n = squeezed.size();
  std::string out;
  if (i < n && (squeezed[i] == '+' || squeezed[i] == '-')) out += squeezed[i++];
  std::size_t mantissa_digits = 0;
  while (i < n && IsDigit(squeezed[i])) { out += squeezed[i++]; ++mantissa_digits; }
  if (i < n && squeezed[i] == '.') {
    out += squeezed[i++];
    while (i < n && IsDigit(squeezed[i])) { out += squeezed[i++]; ++mantissa_digits; }
  }
  if (mantissa_digits == 0) return "";
  if (i < n && (squeezed[i] == 'E' || squeezed[i] == 'e' || squeezed[i] == 'D' || squeezed[i] == 'd')) {
    std::size_t j = i + 1;
    std::string exponent = "E";
    if (j < n && (squeezed[j] == '+' || squeezed[j] == '-')) exponent += squeezed[j++];
    bool any = false;
    while (j < n && IsDigit(squeezed[j])) { exponent += squeezed[j++]; any = true; }
    if (any) out += exponent;
  }
  return out;
}

locale_t ClassicLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

double LeadingNumberValue(std::string_view text) {
  const std::string number = NumberPrefix(text);
  if (number.empty()) return 0.0;
  errno = 0;
  const double value = strtod_l(number.c_str(), nullptr, ClassicLocale());
  if (errno == ERANGE && std::isinf(value)) {
    const std::string shown = number.size() > 40 ? number.substr(0, 40) + "..." : number;
    throw RunError(ErrorNumber::TypeMismatch,
                   "reply number " + shown + " is too large for a 64-bit float");
  }
  return value;
}

}  // namespace multitone
