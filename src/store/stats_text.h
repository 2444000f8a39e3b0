#pragma once
// `multitone stats` as text for a terminal.
#include <string>

#include "store/run_stats.h"

namespace multitone {

std::string StatsText(const RunStats& stats);

}  // namespace multitone
