#include "server/line_json.h"

#include <algorithm>

#include "line/capability.h"
#include "line/control_chart.h"
#include "store/histogram_range.h"
#include "verdict/chart_name.h"

namespace multitone::server {
namespace {

using nlohmann::json;

json Optional(const std::optional<double>& value) { return value ? json(*value) : json(nullptr); }

json CountsJson(const YieldCounts& c) {
  return {{"runs", c.runs},       {"passed", c.passed},   {"judged", c.judged},
          {"failed", c.failed},   {"errors", c.errors},   {"yield", Optional(c.yield)},
          {"serials", c.serials}, {"first_passed", c.first_passed},
          {"first_pass_yield", Optional(c.first_pass_yield)}};
}

json AlarmJson(const StoredAlarm& a) {
  return {{"station", a.station},
          {"figure", a.figure},
          {"channel", a.channel},
          {"tone", a.tone},
          {"rule", a.rule},
          {"run_id", a.run_id},
          {"raised_at", a.raised_at},
          {"value", a.value},
          {"centre", a.centre},
          {"sigma", a.sigma},
          {"acknowledged_by", a.acknowledged_by.empty() ? json(nullptr) : json(a.acknowledged_by)},
          {"acknowledged_at", a.acknowledged_at.empty() ? json(nullptr) : json(a.acknowledged_at)}};
}

json AxisJson(const HistogramRange& range) {
  json ticks = json::array();
  for (const double t : AxisTicks(range.low, range.high, 6)) ticks.push_back(t);
  return {{"low", range.low}, {"high", range.high}, {"ticks", ticks}};
}

json FigureJson(const FigureSpreads& f) {
  std::vector<FigureMoments> moments;
  for (const auto& [station, m] : f.stations) moments.push_back(m);
  const FigureMoments all = Pooled(moments);
  const std::vector<bool> apart = StandingOut(moments);
  json stations = json::array();
  std::vector<double> means;
  for (std::size_t i = 0; i < f.stations.size(); ++i) {
    const auto& [name, m] = f.stations[i];
    stations.push_back({{"station", name},
                        {"n", m.n},
                        {"mean", m.mean},
                        {"stddev", StandardDeviation(m)},
                        {"stands_out", static_cast<bool>(apart[i])}});
    means.push_back(m.mean);
  }
  json out = {{"figure", f.figure},   {"channel", f.channel},   {"unit", f.unit},
              {"low", Optional(f.low)}, {"high", Optional(f.high)}, {"n", all.n},
              {"mean", all.mean},     {"stddev", StandardDeviation(all)}, {"stations", stations},
              {"axis", AxisJson(RangeOf(means, f.low, f.high))}};
  const auto cpk = CapabilityOf(all, f.low, f.high);
  out["cpk"] = cpk ? json(cpk->cpk) : json(nullptr);
  out["cpk_low"] = cpk ? json(cpk->low) : json(nullptr);
  out["cpk_high"] = cpk ? json(cpk->high) : json(nullptr);
  return out;
}

}  // namespace

json LineJson(const LineSummary& summary, const LinePeriods& periods) {
  json stations = json::array();
  for (const StationYield& s : summary.stations) {
    stations.push_back({{"station", s.station}, {"day", CountsJson(s.day)}, {"shift", CountsJson(s.shift)}});
  }
  json pareto = json::array();
  for (const FailingFigure& f : summary.pareto) {
    pareto.push_back({{"figure", f.figure}, {"channel", f.channel}, {"runs", f.runs}});
  }
  json figures = json::array();
  for (const FigureSpreads& f : summary.figures) figures.push_back(FigureJson(f));
  json alarms = json::array();
  for (const StoredAlarm& a : summary.alarms) alarms.push_back(AlarmJson(a));
  return {{"day_start", periods.day_start}, {"shift_start", periods.shift_start}, {"until", periods.until},
          {"stations", stations},          {"pareto", pareto},                  {"figures", figures},
          {"alarms", alarms}};
}

json ChartJson(const ChartKey& key, const StationChart& chart) {
  // The limits the station judges by: stated in the newest limits file, else
  // drawn from its whole baseline. Before the baseline is complete, those of
  // the newest alarm shown, if any (it may have been raised under an earlier
  // file).
  std::optional<ChartLimits> limits;
  std::string limits_from = "none";
  const auto stated =
      chart.control.stated.find(ChartName(key.figure, key.channel, key.tone));
  if (stated != chart.control.stated.end()) {
    limits = ChartLimits{stated->second.centre, stated->second.sigma};
    limits_from = "stated";
  } else if (chart.baseline.size() >= chart.control.baseline && (limits = BaselineLimits(chart.baseline))) {
    limits_from = "baseline";
  } else if (!chart.alarms.empty()) {
    limits = ChartLimits{chart.alarms.back().centre, chart.alarms.back().sigma};
    limits_from = "alarm";
  }
  json points = json::array();
  std::vector<double> values;
  for (const StationChartPoint& p : chart.points) {
    points.push_back({{"run_id", p.run_id}, {"started_at", p.started_at}, {"value", p.value}});
    values.push_back(p.value);
  }
  json alarms = json::array();
  for (const StoredAlarm& a : chart.alarms) alarms.push_back(AlarmJson(a));
  // The axis holds the limits and the control limits, and the values' robust range.
  std::optional<double> low = chart.low, high = chart.high;
  if (limits) {
    const double lcl = limits->centre - 3 * limits->sigma, ucl = limits->centre + 3 * limits->sigma;
    low = low ? std::min(*low, lcl) : lcl;
    high = high ? std::max(*high, ucl) : ucl;
  }
  return {{"station", key.station},
          {"figure", key.figure},
          {"channel", key.channel},
          {"tone", key.tone},
          {"unit", chart.unit},
          {"low", Optional(chart.low)},
          {"high", Optional(chart.high)},
          {"centre", limits ? json(limits->centre) : json(nullptr)},
          {"sigma", limits ? json(limits->sigma) : json(nullptr)},
          {"limits_from", limits_from},
          {"baseline_runs", chart.control.baseline},
          {"points", points},
          {"alarms", alarms},
          {"axis", AxisJson(RangeOf(values, low, high))}};
}

}  // namespace multitone::server
