#include "write_back/rounded_cell_text.h"

#include <charconv>
#include <cmath>

#include "common/decimal_digits.h"
#include "common/plain_number_text.h"
#include "common/run_error.h"

namespace multitone {
namespace {

// The value's decimal form as the cell rounding sees it.
DecimalDigits CellDigits(const GeneralValue& value) {
  switch (value.Kind()) {
    case ValueKind::Empty: return IntegerDigits(0);
    case ValueKind::Int16: return IntegerDigits(std::llabs(value.AsInt16()));
    case ValueKind::Int32: return IntegerDigits(std::llabs(value.AsInt32()));
    case ValueKind::Float32: return SignificantDigits(std::fabs(value.AsFloat32()), 7);
    case ValueKind::Float64: return SignificantDigits(std::fabs(value.AsFloat64()), 15);
    case ValueKind::Text: break;
  }
  throw RunError(ErrorNumber::TypeMismatch, "text in a results-table cell");
}

// Rounds the digits to `decimals` places after the point, halves away from
// zero (on the magnitude, so up).
DecimalDigits RoundToDecimals(DecimalDigits d, int decimals) {
  const int keep = d.exponent + decimals + 1;  // digits at places 10^-decimals and above
  const int count = static_cast<int>(d.digits.size());
  if (keep >= count) return d;
  if (keep < 0) return {"0", 0};
  const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    int i = keep - 1;
    for (; i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9'; --i) {
      d.digits[static_cast<std::size_t>(i)] = '0';
    }
    if (i >= 0) {
      ++d.digits[static_cast<std::size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) return {"0", 0};
  return d;
}

// Reads the rounded decimal back as a 64-bit float, as the formatted cell
// text would be read.
double ReadBack(const DecimalDigits& d) {
  const std::string text = d.digits + "e" + std::to_string(d.exponent - static_cast<int>(d.digits.size()) + 1);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

int MaskDecimals(std::string_view mask) {
  const auto point = mask.find('.');
  if (point == std::string_view::npos) return 0;
  int decimals = 0;
  for (const char c : mask.substr(point + 1)) {
    if (c == '0' || c == '#') ++decimals;
  }
  return decimals;
}

std::string RoundedCellText(const GeneralValue& value, std::string_view mask) {
  const bool negative = value.ToDouble() < 0;
  const DecimalDigits rounded = RoundToDecimals(CellDigits(value), MaskDecimals(mask));
  if (rounded.digits == "0") return PlainNumberText(0.0);  // no minus on a zero
  const double magnitude = ReadBack(rounded);
  return PlainNumberText(negative ? -magnitude : magnitude);
}

}  // namespace multitone
