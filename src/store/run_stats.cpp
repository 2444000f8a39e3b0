#include "store/run_stats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace multitone {
namespace {

using Key = std::pair<std::string, std::string>;  // figure, channel

void CountVerdicts(Database& db, const SqlCondition& where, RunStats& stats) {
  db.Query("SELECT r.verdict, count(*) FROM runs r WHERE " + where.sql + " GROUP BY r.verdict",
           where.params, [&](const SqlRow& row) {
             const std::string verdict = row.Text(0);
             const auto count = static_cast<std::size_t>(row.Int(1));
             stats.runs += count;
             if (verdict == "PASS") stats.pass += count;
             if (verdict == "MARGINAL") stats.marginal += count;
             if (verdict == "FAIL") stats.fail += count;
             if (verdict == "ERROR") stats.error += count;
             if (verdict == "NOT_JUDGED") stats.not_judged += count;
           });
  if (const auto judged = stats.runs - stats.not_judged) {
    stats.yield = static_cast<double>(stats.pass + stats.marginal) / static_cast<double>(judged);
  }
}

void FirstPassYield(Database& db, const SqlCondition& where, RunStats& stats) {
  std::size_t judged = 0, passed = 0;
  db.Query(
      "SELECT f.verdict, count(*) FROM (SELECT r.verdict, ROW_NUMBER() OVER "
      "(PARTITION BY r.serial ORDER BY r.started_at, r.run_id) AS k FROM runs r "
      "WHERE r.serial IS NOT NULL AND " + where.sql + ") f WHERE f.k = 1 GROUP BY f.verdict",
      where.params, [&](const SqlRow& row) {
        const std::string verdict = row.Text(0);
        const auto count = static_cast<std::size_t>(row.Int(1));
        stats.serials += count;
        if (verdict != "NOT_JUDGED") judged += count;
        if (verdict == "PASS" || verdict == "MARGINAL") passed += count;
      });
  if (judged > 0) stats.first_pass_yield = static_cast<double>(passed) / static_cast<double>(judged);
}

void FigureSpread(Database& db, const SqlCondition& where, RunStats& stats) {
  const std::string from =
      " FROM measurements m JOIN runs r ON r.run_id = m.run_id WHERE m.tone = 0 AND "
      "m.value IS NOT NULL AND " + where.sql;
  std::map<Key, FigureStats> figures;
  db.Query("SELECT m.figure, m.channel, min(m.unit), count(*), avg(m.value), min(m.value), "
           "max(m.value)" + from + " GROUP BY m.figure, m.channel",
           where.params, [&](const SqlRow& row) {
             FigureStats& f = figures[{row.Text(0), row.Text(1)}];
             f.figure = row.Text(0);
             f.channel = row.Text(1);
             f.unit = row.Text(2);
             f.n = static_cast<std::size_t>(row.Int(3));
             f.mean = row.Double(4);
             f.min = row.Double(5);
             f.max = row.Double(6);
           });
  if (figures.empty()) return;

  // The deviations from each mean in a second pass: a sum of squares less
  // n·mean² loses the digits of a small spread around a large mean.
  std::string means = "(VALUES ";
  std::vector<SqlValue> params = where.params;
  for (const auto& [key, f] : figures) {
    const int n = static_cast<int>(params.size()) + 1;
    if (means.size() > 8) means += ", ";
    means += "($" + std::to_string(n) + ", $" + std::to_string(n + 1) + ", CAST($" +
             std::to_string(n + 2) + " AS DOUBLE PRECISION))";
    params.insert(params.end(), {f.figure, f.channel, f.mean});
  }
  means += ")";
  db.Query("SELECT m.figure, m.channel, sum((m.value - s.column3) * (m.value - s.column3))" +
               from.substr(0, from.find(" WHERE")) + " JOIN " + means +
               " s ON s.column1 = m.figure AND s.column2 = m.channel" +
               from.substr(from.find(" WHERE")) + " GROUP BY m.figure, m.channel",
           params, [&](const SqlRow& row) {
             FigureStats& f = figures[{row.Text(0), row.Text(1)}];
             if (f.n > 1) f.stddev = std::sqrt(row.Double(2) / static_cast<double>(f.n - 1));
           });

  // The limits in force: those of the newest selected run.
  db.Query("SELECT m.figure, m.channel, m.low, m.high FROM measurements m WHERE m.tone = 0 AND "
           "m.run_id = (SELECT r.run_id FROM runs r WHERE " + where.sql +
               " ORDER BY r.started_at DESC, r.run_id DESC LIMIT 1)",
           where.params, [&](const SqlRow& row) {
             const auto found = figures.find({row.Text(0), row.Text(1)});
             if (found == figures.end()) return;
             found->second.low = row.OptionalDouble(2);
             found->second.high = row.OptionalDouble(3);
           });
  for (auto& [key, f] : figures) {
    if (f.stddev > 0 && (f.low || f.high)) {
      double distance = INFINITY;
      if (f.low) distance = std::min(distance, f.mean - *f.low);
      if (f.high) distance = std::min(distance, *f.high - f.mean);
      f.cpk = distance / (3 * f.stddev);
    }
    stats.figures.push_back(std::move(f));
  }
  auto channel_rank = [](const std::string& channel) { return channel.empty() ? 0 : channel == "left" ? 1 : 2; };
  std::stable_sort(stats.figures.begin(), stats.figures.end(),
                   [&](const FigureStats& a, const FigureStats& b) {
                     return channel_rank(a.channel) < channel_rank(b.channel);
                   });
}

void MostFailing(Database& db, const SqlCondition& where, RunStats& stats) {
  db.Query("SELECT m.figure, m.channel, count(DISTINCT m.run_id) AS n FROM measurements m "
           "JOIN runs r ON r.run_id = m.run_id WHERE m.outcome = 'FAIL' AND " + where.sql +
               " GROUP BY m.figure, m.channel ORDER BY n DESC, m.figure, m.channel LIMIT 10",
           where.params, [&](const SqlRow& row) {
             stats.most_failing.push_back(
                 {row.Text(0), row.Text(1), static_cast<std::size_t>(row.Int(2))});
           });
}

}  // namespace

RunStats ComputeStats(Database& db, const RunFilter& filter) {
  const SqlCondition where = RunCondition(db.engine(), filter, 1);
  RunStats stats;
  CountVerdicts(db, where, stats);
  FirstPassYield(db, where, stats);
  FigureSpread(db, where, stats);
  MostFailing(db, where, stats);
  return stats;
}

}  // namespace multitone
