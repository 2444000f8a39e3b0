#pragma once
// SCPI data in both directions: numeric parameters with units, boolean and
// character parameters in short or long form, and the answer formats (NR3
// numbers, quoted strings). Every parser throws ScpiFailure on bad input.
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "sim/scpi_parser.h"

namespace multitone::sim {

// The unit a numeric parameter may carry; it is scaled to the base unit.
enum class Quantity {
  Plain,      // no unit
  Frequency,  // HZ (base), KHZ, MHZ (mega, as SCPI reads it)
  Voltage,    // V (base), MV, UV
  Decibel,    // DB
};

// NRf ("900", " .19364", "-1.5E+03", "+7") followed by an optional unit of
// `quantity`: "900 HZ", "60 DB". -104 when it is not a number, -131 for a
// unit that does not fit, -222 when it does not fit a double.
double NumberParameter(const Parameter& parameter, Quantity quantity);

// The range of a numeric setting and its power-on value.
struct NumericRange {
  double low;
  double high;
  double default_value;
};

// A number as NumberParameter reads it, or MINimum, MAXimum or DEFault (any
// case) for the range's ends and its default; -222 outside the range.
double RangedParameter(const Parameter& parameter, Quantity quantity, const NumericRange& range);

// ON/OFF/1/0 (and any other number: non-zero is on). -224 otherwise.
bool BooleanParameter(const Parameter& parameter);

// A character parameter matched against choices written as SCPI mnemonics
// ("FLATtop": "FLAT" or "FLATTOP", any case). Returns the index of the
// choice; -224 when none matches, -104 for a quoted string.
std::size_t ChoiceParameter(const Parameter& parameter, std::span<const std::string_view> choices);
inline std::size_t ChoiceParameter(const Parameter& parameter,
                                   std::initializer_list<std::string_view> choices) {
  return ChoiceParameter(parameter, std::span<const std::string_view>(choices.begin(), choices.size()));
}

// A quoted string's content; -104 for an unquoted token.
const std::string& StringParameter(const Parameter& parameter);

// NR3 with 9 significant digits: "1.00120000E+03"; a value that is not
// finite answers as the SCPI not-a-number 9.91E+37.
std::string Nr3(double value);

// A string response: the text in double quotes, a double quote inside doubled.
std::string QuotedString(std::string_view text);

// The short form of a mnemonic written as "FLATtop": "FLAT".
std::string_view ShortForm(std::string_view mnemonic);

}  // namespace multitone::sim
