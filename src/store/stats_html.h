#pragma once
// `multitone stats --html`: one self-contained HTML page with a histogram per
// figure and the selected runs' response curves.
#include <string>

#include "store/database.h"
#include "store/run_stats.h"

namespace multitone {

// Reads the values it draws from the store (the newest 200 runs' responses).
std::string StatsHtml(Database& db, const RunFilter& filter, const RunStats& stats);

}  // namespace multitone
