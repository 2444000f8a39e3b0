#include "store/station_chart.h"

#include <algorithm>

#include "store/dialect.h"
#include "store/stretch_start.h"
#include "verdict/limits.h"

namespace multitone {
namespace {

// The chart's values among a station's production runs, by the station's
// own index (station, started_at).
constexpr const char* kChartValues =
    " FROM runs r JOIN measurements m ON m.run_id = r.run_id WHERE r.station = $1 AND "
    "r.purpose = 'production' AND m.figure = $2 AND m.channel = $3 AND m.tone = $4 AND "
    "m.value IS NOT NULL";

SqlValue Whole(std::size_t n) { return SqlValue{static_cast<std::int64_t>(n)}; }

// The [control] settings of a stored limits file. One this program can no
// longer read (an older syntax) leaves the defaults.
ControlSettings StoredControl(Database& db, const std::string& sha256) {
  std::string content;
  db.Query("SELECT content FROM limit_sets WHERE sha256 = $1", {sha256},
           [&](const SqlRow& row) { content = row.Text(0); });
  try {
    return ParseLimits(content, "the stored limits " + sha256).control;
  } catch (const LimitsError&) {
    return {};
  }
}

}  // namespace

StationChart ReadStationChart(Database& db, const ChartKey& key, std::size_t points) {
  const Engine e = db.engine();
  const std::vector<SqlValue> chart = {key.station, key.figure, key.channel, SqlValue{std::int64_t{key.tone}}};
  StationChart out;
  std::string newest_limits;
  bool newest_has_limits = false;
  // Room for every parameter of the three queries from the start.
  std::vector<SqlValue> params;
  params.reserve(chart.size() + 2);
  params.assign(chart.begin(), chart.end());
  params.push_back(Whole(points));
  db.Query("SELECT r.run_id, " + TimeText(e, "r.started_at") + ", m.value, m.unit, m.low, m.high, r.limits_sha256" +
               kChartValues + " ORDER BY r.started_at DESC, r.run_id DESC LIMIT $5",
           params, [&](const SqlRow& row) {
             if (out.points.empty()) {
               out.unit = row.Text(3);
               out.low = row.OptionalDouble(4);
               out.high = row.OptionalDouble(5);
               newest_has_limits = !row.IsNull(6);
               newest_limits = row.Text(6);
             }
             out.points.push_back({row.Text(0), row.Text(1), row.Double(2)});
           });
  if (out.points.empty()) return out;
  std::reverse(out.points.begin(), out.points.end());
  if (newest_has_limits) out.control = StoredControl(db, newest_limits);

  // The newest limits file's stretch starts after the station's last run
  // judged against another one (or none).
  const std::string stretch_after = NewestRunUnderOtherLimits(
      db, key.station, newest_has_limits ? std::optional<std::string>(newest_limits) : std::nullopt);
  params.assign(chart.begin(), chart.end());
  params.push_back(Whole(out.control.baseline));
  std::string after;
  if (!stretch_after.empty()) {
    params.emplace_back(stretch_after);
    after = " AND r.started_at > " + TimeParam(e, 6);
  }
  db.Query(std::string("SELECT m.value") + kChartValues + after + " ORDER BY r.started_at, r.run_id LIMIT $5", params,
           [&](const SqlRow& row) { out.baseline.push_back(row.Double(0)); });

  params = chart;
  params.emplace_back(out.points.front().started_at);
  db.Query("SELECT rule, run_id, " + TimeText(e, "raised_at") + ", value, centre, sigma, acknowledged_by, " +
               TimeText(e, "acknowledged_at") +
               " FROM alarms WHERE station = $1 AND figure = $2 AND channel = $3 AND tone = $4 AND "
               "raised_at >= " + TimeParam(e, 5) + " ORDER BY raised_at, rule",
           params, [&](const SqlRow& row) {
             StoredAlarm& a = out.alarms.emplace_back();
             a.station = key.station;
             a.figure = key.figure;
             a.channel = key.channel;
             a.tone = key.tone;
             a.rule = row.Text(0);
             a.run_id = row.Text(1);
             a.raised_at = row.Text(2);
             a.value = row.Double(3);
             a.centre = row.Double(4);
             a.sigma = row.Double(5);
             a.acknowledged_by = row.Text(6);
             a.acknowledged_at = row.Text(7);
           });
  return out;
}

}  // namespace multitone
