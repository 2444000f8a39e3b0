#pragma once
// The one conversion from a number to the text that goes into a command or a
// list. A blank or "-" first; an integer as all its digits; a float rounded to
// 15 significant digits (64-bit) or 7 (32-bit, from its own value, never
// widened first), written positionally while the decimal exponent lies in
// -4..14 (64-bit) or -4..6 (32-bit), with "." as separator, trailing zeros
// and a lone point dropped and no zero before the point (" .5", "-.0123",
// " 30.036"); otherwise in exponent form (" 1.23456789E-05", " 1E+15").
// Zero, also negative zero, is " 0".
#include <cstdint>
#include <string>

#include "common/general_value.h"

namespace multitone {

std::string PlainNumberText(double value);
std::string PlainNumberText(float value);
std::string PlainNumberText(std::int32_t value);
// By the value's kind; empty is " 0"; text is RunError 13.
std::string PlainNumberText(const GeneralValue& value);

// The text without its padding: the leading blank of a positive number goes,
// a minus stays ("syst:mem:str24", "-1000 Hz").
std::string WithoutPadding(std::string number_text);

}  // namespace multitone
