#pragma once
// The analyzer's display as plain text, for a terminal: the explanation
// window's table with aligned columns, then memory strings 1 to 8.
#include <string>

#include "sim/instrument_state.h"

namespace multitone::sim {

std::string ScreenText(const InstrumentState& state);

}  // namespace multitone::sim
