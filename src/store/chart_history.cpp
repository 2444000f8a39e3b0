#include "store/chart_history.h"

#include <set>

#include "store/dialect.h"

namespace multitone {

StationHistory ReadStationHistory(Database& db, const std::string& station, const std::string& limits_sha256,
                                  std::size_t first_count, std::size_t newest_count) {
  const Engine engine = db.engine();
  // Where the stretch begins: after the newest run under other limits.
  std::string after;
  db.Query("SELECT " + TimeText(engine, "max(started_at)") +
               " FROM runs WHERE station = $1 AND purpose = 'production' AND "
               "(limits_sha256 IS NULL OR limits_sha256 <> $2)",
           {station, limits_sha256}, [&](const SqlRow& row) { after = row.Text(0); });
  std::vector<SqlValue> params = {station, limits_sha256, static_cast<std::int64_t>(first_count),
                                  static_cast<std::int64_t>(newest_count)};
  std::string since;
  if (!after.empty()) {
    since = " AND r.started_at > " + TimeParam(engine, 5);
    params.push_back(after);
  }
  StationHistory history;
  std::string oldest_newest;  // the oldest start among the newest points
  db.Query(
      "SELECT figure, channel, tone, run_id, value, n_up, n_down, started FROM (SELECT m.figure, m.channel, m.tone, "
      "r.run_id, m.value, " +
          TimeText(engine, "r.started_at") +
          " AS started, ROW_NUMBER() OVER (PARTITION BY m.figure, m.channel, m.tone ORDER BY r.started_at, "
          "r.run_id) AS n_up, ROW_NUMBER() OVER (PARTITION BY m.figure, m.channel, m.tone ORDER BY r.started_at "
          "DESC, r.run_id DESC) AS n_down FROM measurements m JOIN runs r ON r.run_id = m.run_id WHERE "
          "r.station = $1 AND r.purpose = 'production' AND r.limits_sha256 = $2 AND m.value IS NOT NULL" +
          since + ") w WHERE n_up <= $3 OR n_down <= $4 ORDER BY figure, channel, tone, n_up",
      params, [&](const SqlRow& row) {
        const int tone = static_cast<int>(row.Int(2));
        if (history.charts.empty() || history.charts.back().figure != row.Text(0) ||
            history.charts.back().channel != row.Text(1) || history.charts.back().tone != tone) {
          history.charts.push_back({row.Text(0), row.Text(1), tone, {}, {}, 0});
        }
        ChartHistory& chart = history.charts.back();
        const HistoryPoint point{row.Text(3), row.Double(4)};
        const auto up = static_cast<std::size_t>(row.Int(5));
        const auto down = static_cast<std::size_t>(row.Int(6));
        chart.count = up + down - 1;
        if (up <= first_count) chart.first.push_back(point);
        if (down <= newest_count) {
          chart.newest.push_back(point);
          const std::string started = row.Text(7);
          if (oldest_newest.empty() || started < oldest_newest) oldest_newest = started;
        }
      });
  if (oldest_newest.empty()) return history;
  std::set<std::string> newest_runs;
  for (const ChartHistory& chart : history.charts) {
    for (const HistoryPoint& point : chart.newest) newest_runs.insert(point.run_id);
  }
  // An alarm is raised when its run ends, so never before the run started.
  db.Query("SELECT run_id, figure, channel, tone, rule FROM alarms WHERE station = $1 AND raised_at >= " +
               TimeParam(engine, 2),
           {station, oldest_newest}, [&](const SqlRow& row) {
             if (!newest_runs.count(row.Text(0))) return;
             history.alarms.push_back(
                 {row.Text(0), row.Text(1), row.Text(2), static_cast<int>(row.Int(3)), row.Text(4)});
           });
  return history;
}

}  // namespace multitone
