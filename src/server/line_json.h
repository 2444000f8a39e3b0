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

// Chart values read per station chart.
inline constexpr std::size_t kChartPoints = 500;

nlohmann::json LineJson(const LineSummary& summary, const LinePeriods& periods);

// The chart's centre and sigma, those the station judges by: stated in the
// newest limits file, else drawn from its complete baseline, else (before
// the baseline is complete) those of the newest alarm shown.
nlohmann::json ChartJson(const ChartKey& key, const StationChart& chart);

}  // namespace multitone::server
