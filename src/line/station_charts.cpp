#include "line/station_charts.h"

#include <algorithm>

#include "line/chart_series.h"
#include "verdict/chart_name.h"

namespace multitone {
namespace {

// Points kept per chart: twice the longest rule's window, trimmed by half.
constexpr std::size_t kKept = 16;

}  // namespace

StationCharts::StationCharts(std::string station, const ControlSettings& control)
    : station_(std::move(station)), control_(control) {}

StationCharts::StationCharts(std::string station, const ControlSettings& control, const StationHistory& history)
    : StationCharts(std::move(station), control) {
  for (const ChartHistory& h : history.charts) {
    Chart& chart = ChartOf({h.figure, h.channel, h.tone});
    chart.count = h.count;
    if (!chart.stated) {
      for (std::size_t i = 0; i < h.first.size() && i < control_.baseline; ++i) {
        chart.baseline.push_back(h.first[i].value);
      }
      // A baseline whose runs left values undefined is drawn from those it has.
      if (chart.baseline.size() == control_.baseline || chart.count >= control_.baseline) {
        chart.limits = BaselineLimits(chart.baseline);
      }
    }
    for (const HistoryPoint& point : h.newest) chart.recent.push_back(point.value);
    // A rule that fired at one of these points counts only the points after it.
    for (const RaisedAlarm& alarm : history.alarms) {
      if (alarm.figure != h.figure || alarm.channel != h.channel || alarm.tone != h.tone) continue;
      const std::optional<RunRule> rule = RuleNamed(alarm.rule);
      const auto at = std::find_if(h.newest.begin(), h.newest.end(),
                                   [&](const HistoryPoint& p) { return p.run_id == alarm.run_id; });
      if (!rule || at == h.newest.end()) continue;
      std::size_t& from = chart.memory.from[static_cast<std::size_t>(*rule)];
      from = std::max(from, static_cast<std::size_t>(at - h.newest.begin()) + 1);
    }
  }
}

StationCharts::Chart& StationCharts::ChartOf(const Key& key) {
  const auto [found, added] = charts_.try_emplace(key);
  if (added) {
    const auto stated = control_.stated.find(ChartName(std::get<0>(key), std::get<1>(key), std::get<2>(key)));
    if (stated != control_.stated.end()) {
      found->second.stated = true;
      found->second.limits = ChartLimits{stated->second.centre, stated->second.sigma};
    }
  }
  return found->second;
}

std::vector<RunRule> StationCharts::AddValue(Chart& chart, double value) {
  const std::size_t index = chart.count++;
  if (chart.recent.size() == kKept) {
    // Older points complete no pattern; a rule that fired among them
    // counts from the oldest point kept.
    const std::size_t dropped = kKept / 2;
    chart.recent.erase(chart.recent.begin(), chart.recent.begin() + static_cast<std::ptrdiff_t>(dropped));
    for (std::size_t& from : chart.memory.from) from = from > dropped ? from - dropped : 0;
  }
  chart.recent.push_back(value);
  if (!chart.stated && index < control_.baseline) {
    // Still the baseline: drawn, not checked.
    chart.baseline.push_back(value);
    if (chart.baseline.size() == control_.baseline) chart.limits = BaselineLimits(chart.baseline);
    return {};
  }
  if (!chart.limits) return {};  // a baseline with no spread at all
  return RulesFiringAt(chart.recent, chart.recent.size() - 1, *chart.limits, chart.memory);
}

std::vector<UnitAlarm> StationCharts::Add(const UnitResult& unit) {
  std::vector<UnitAlarm> alarms;
  for (const Measurement& m : unit.judgement.measurements) {
    if (!m.value) continue;
    Chart& chart = ChartOf({std::string(m.figure), std::string(m.channel), m.tone});
    for (const RunRule rule : AddValue(chart, *m.value)) {
      alarms.push_back({station_, std::string(m.figure), std::string(m.channel), m.tone, std::string(RuleName(rule)),
                        unit.run_id, *m.value, chart.limits->centre, chart.limits->sigma});
    }
  }
  return alarms;
}

}  // namespace multitone
