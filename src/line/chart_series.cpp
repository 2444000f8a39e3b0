#include "line/chart_series.h"

#include "store/dialect.h"

namespace multitone {

std::vector<ChartSeries> ReadChartSeries(Database& db, const RunFilter& filter) {
  const SqlCondition where = RunCondition(db.engine(), filter, 1);
  std::vector<ChartSeries> series;
  db.Query("SELECT r.station, m.figure, m.channel, m.tone, r.run_id, " +
               TimeText(db.engine(), "r.started_at") +
               ", m.value, r.limits_sha256 FROM measurements m JOIN runs r ON r.run_id = m.run_id WHERE " + where.sql +
               " AND m.value IS NOT NULL ORDER BY r.station, m.figure, m.channel, m.tone, "
               "r.started_at, r.run_id",
           where.params, [&](const SqlRow& row) {
             const int tone = static_cast<int>(row.Int(3));
             if (series.empty() || series.back().station != row.Text(0) ||
                 series.back().figure != row.Text(1) || series.back().channel != row.Text(2) ||
                 series.back().tone != tone) {
               series.push_back({row.Text(0), row.Text(1), row.Text(2), tone, {}});
             }
             series.back().points.push_back({row.Text(4), row.Text(5), row.Double(6), row.Text(7)});
           });
  return series;
}

}  // namespace multitone
