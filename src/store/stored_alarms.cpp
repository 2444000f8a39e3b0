#include "store/stored_alarms.h"

#include "store/dialect.h"
#include "verdict/chart_name.h"

namespace multitone {
namespace {

// The filter as conditions on `alarms`, its parameters added to `params`.
std::string Where(Engine engine, const AlarmFilter& filter, std::vector<SqlValue>& params) {
  std::string sql = "1 = 1";
  auto add = [&](const std::string& column, SqlValue value, bool time = false) {
    params.push_back(std::move(value));
    const int n = static_cast<int>(params.size());
    sql += " AND " + column + (time ? " >= " + TimeParam(engine, n) : " = $" + std::to_string(n));
  };
  if (!filter.station.empty()) add("station", filter.station);
  if (!filter.since.empty()) add("raised_at", filter.since, true);
  if (!filter.run_id.empty()) add("run_id", filter.run_id);
  if (!filter.rule.empty()) add("rule", filter.rule);
  if (filter.figure) {
    add("figure", *filter.figure);
    add("channel", filter.channel);
    add("tone", static_cast<std::int64_t>(filter.tone));
  }
  if (filter.open_only) sql += " AND acknowledged_at IS NULL";
  return sql;
}

}  // namespace

std::vector<AlarmRow> ReadAlarms(Database& db, const AlarmFilter& filter) {
  const Engine engine = db.engine();
  std::vector<SqlValue> params;
  const std::string where = Where(engine, filter, params);
  std::vector<AlarmRow> rows;
  db.Query("SELECT run_id, station, figure, channel, tone, rule, " + TimeText(engine, "raised_at") +
               ", value, centre, sigma, acknowledged_by, " + TimeText(engine, "acknowledged_at") +
               ", acknowledge_note FROM alarms WHERE " + where +
               " ORDER BY raised_at, station, run_id, figure, channel, tone, rule",
           params, [&](const SqlRow& row) {
             rows.push_back({row.Text(0), row.Text(1), row.Text(2), row.Text(3), static_cast<int>(row.Int(4)),
                             row.Text(5), row.Text(6), row.Double(7), row.Double(8), row.Double(9), row.Text(10),
                             row.Text(11), row.Text(12)});
           });
  return rows;
}

std::size_t AcknowledgeAlarms(Database& db, AlarmFilter filter, const std::string& by, const std::string& at,
                              const std::string& note) {
  filter.open_only = true;
  std::vector<SqlValue> params = {by, at, TextOrNull(note)};
  const std::string sql = "UPDATE alarms SET acknowledged_by = $1, acknowledged_at = " +
                          TimeParam(db.engine(), 2) + ", acknowledge_note = $3 WHERE ";
  const std::string where = Where(db.engine(), filter, params);  // numbered after the three above
  std::size_t acknowledged = 0;
  Transaction transaction(db);
  db.Query(sql + where + " RETURNING run_id", params, [&](const SqlRow&) { ++acknowledged; });
  transaction.Commit();
  return acknowledged;
}

std::string AlarmSummary(const AlarmRow& a) {
  return ChartName(a.figure, a.channel, a.tone) + ": " + a.rule + " at run " + a.run_id;
}

}  // namespace multitone
