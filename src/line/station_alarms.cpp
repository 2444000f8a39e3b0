#include "line/station_alarms.h"

#include <algorithm>
#include <optional>
#include <span>
#include <tuple>

#include "common/short_number.h"
#include "verdict/chart_name.h"

namespace multitone {

namespace {

void AddFirings(const ChartSeries& s, const std::string& chart, std::span<const double> values,
                std::size_t offset, const ChartLimits& limits, std::size_t first, LineAlarms& result) {
  for (const RuleFiring& firing : CheckRunRules(values, limits, first)) {
    const ChartPoint& point = s.points[offset + firing.index];
    result.alarms.push_back({s.station, chart, firing.rule, point.run_id, point.started_at, point.value, limits});
  }
}

}  // namespace

LineAlarms FindAlarms(const std::vector<ChartSeries>& series, std::size_t baseline,
                      const StatedLimits& stated) {
  LineAlarms result;
  for (const ChartSeries& s : series) {
    ++result.charts;
    const std::string chart = ChartName(s.figure, s.channel, s.tone);
    std::vector<double> values;
    values.reserve(s.points.size());
    for (const ChartPoint& point : s.points) values.push_back(point.value);
    if (const auto found = stated.find(chart); found != stated.end()) {
      AddFirings(s, chart, values, 0, found->second, 0, result);
      continue;
    }
    // One stretch per limits file, in order.
    for (std::size_t begin = 0, end = 0; begin < values.size(); begin = end) {
      while (end < values.size() && s.points[end].limits_sha256 == s.points[begin].limits_sha256) ++end;
      const auto stretch = std::span<const double>(values).subspan(begin, end - begin);
      if (stretch.size() <= baseline) {
        if (end == values.size()) ++result.waiting;
        continue;
      }
      const std::optional<ChartLimits> limits = BaselineLimits(stretch.first(baseline));
      if (!limits) {
        ++result.flat;
        continue;
      }
      AddFirings(s, chart, stretch, begin, *limits, baseline, result);
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
