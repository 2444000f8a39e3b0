#pragma once
// The text of a results-table cell: the value rounded to the decimals of a
// picture mask ("#0.00": 2, "###0.0": 1), halves away from zero, working on
// the value's decimal form at 15 significant digits (7 for a 32-bit float,
// all digits for an integer), then written as plain number text. So 0.5 with
// "00.000" gives " .5", 1.005 with "#0.00" gives " 1.01", and -0.001 with
// "#0.00" gives " 0".
#include <string>
#include <string_view>

#include "common/general_value.h"

namespace multitone {

std::string RoundedCellText(const GeneralValue& value, std::string_view mask);

// The number of digit places after the mask's ".", 0 without one.
int MaskDecimals(std::string_view mask);

}  // namespace multitone
