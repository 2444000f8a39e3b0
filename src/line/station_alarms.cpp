#include "line/station_alarms.h"

#include <algorithm>
#include <tuple>

#include "common/short_number.h"

namespace multitone {

LineAlarms FindAlarms(const std::vector<ChartSeries>& series, std::size_t baseline,
                      const StatedLimits& stated) {
  LineAlarms result;
  for (const ChartSeries& s : series) {
    ++result.charts;
    const std::string chart = ChartName(s);
    std::vector<double> values;
    values.reserve(s.points.size());
    for (const ChartPoint& point : s.points) values.push_back(point.value);
    std::optional<ChartLimits> limits;
    std::size_t first = 0;
    if (const auto found = stated.find(chart); found != stated.end()) {
      limits = found->second;
    } else {
      if (values.size() <= baseline) {
        ++result.waiting;
        continue;
      }
      first = baseline;
      limits = BaselineLimits(std::span(values).first(baseline));
      if (!limits) {
        ++result.flat;
        continue;
      }
    }
    for (const RuleFiring& firing : CheckRunRules(values, *limits, first)) {
      const ChartPoint& point = s.points[firing.index];
      result.alarms.push_back(
          {s.station, chart, firing.rule, point.run_id, point.started_at, point.value, *limits});
    }
  }
  std::stable_sort(result.alarms.begin(), result.alarms.end(), [](const Alarm& a, const Alarm& b) {
    return std::tie(a.started_at, a.station) < std::tie(b.started_at, b.station);
  });
  return result;
}

std::string AlarmsText(const LineAlarms& alarms) {
  std::string text;
  for (const Alarm& a : alarms.alarms) {
    text += a.started_at + "  " + a.station + "  " + a.chart + "  " + std::string(RuleName(a.rule)) +
            "  run " + a.run_id + "  value " + ShortNumber(a.value) + " (centre " +
            ShortNumber(a.limits.centre) + ", sigma " + ShortNumber(a.limits.sigma) + ")\n";
  }
  text += std::to_string(alarms.alarms.size()) + (alarms.alarms.size() == 1 ? " alarm" : " alarms") +
          " over " + std::to_string(alarms.charts) + " charts";
  if (alarms.waiting > 0) text += ", " + std::to_string(alarms.waiting) + " still within their baseline";
  if (alarms.flat > 0) text += ", " + std::to_string(alarms.flat) + " with no spread in their baseline";
  return text + '\n';
}

}  // namespace multitone
