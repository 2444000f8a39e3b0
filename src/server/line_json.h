#pragma once
// The line page's data as JSON: the summary of the line (GET /api/line) and
// one station's control chart (GET /api/line/chart). Each plot comes with
// the span its value axis is drawn over: the limits and the values' robust
// range, as the stats histograms are, so that one dead unit does not squeeze
// the others into a line.
#include <nlohmann/json.hpp>

#include "store/line_summary.h"
#include "store/station_chart.h"

namespace multitone::server {

// Chart values read per station chart, and baseline values (as the
// station's own alarms take them).
inline constexpr std::size_t kChartPoints = 500;
inline constexpr std::size_t kChartBaseline = 20;

nlohmann::json LineJson(const LineSummary& summary, const LinePeriods& periods);

// The chart's centre and sigma: those of its newest alarm shown (what the
// station judged by), else drawn from its baseline.
nlohmann::json ChartJson(const ChartKey& key, const StationChart& chart);

}  // namespace multitone::server
