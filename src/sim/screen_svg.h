#pragma once
// The analyzer's display as an SVG picture (800 x 600, the analyzer's screen
// coordinates): the sweep graph with traces A and B over a logarithmic
// frequency axis, the explanation window with its table at the place and
// size a client chose, and memory strings 1 to 8. Everything a client wrote
// is escaped; of the explanation HTML only table text is drawn.
#include <string>

#include "sim/instrument_state.h"

namespace multitone::sim {

std::string ScreenSvg(const InstrumentState& state);

}  // namespace multitone::sim
