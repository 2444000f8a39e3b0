#include "store/run_stats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "run/run_results.h"

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

// "FROM measurements m", joined with the runs only when the filter needs them.
std::string MeasurementsOf(const SqlCondition& where) {
  return where.params.empty() ? " FROM measurements m WHERE "
                              : " FROM measurements m JOIN runs r ON r.run_id = m.run_id WHERE " +
                                    where.sql + " AND ";
}

void FigureSpread(Database& db, const SqlCondition& where, RunStats& stats) {
  std::vector<FigureStats> figures;
  auto add = [&](std::string_view figure, std::string_view channel, std::string_view unit) {
    FigureStats& f = figures.emplace_back();
    f.figure = figure;
    f.channel = channel;
    f.unit = unit;
  };
  add(kPitchErrorName, "", kPitchErrorUnit);
  for (const Channel channel : kChannels) {
    for (const Figure figure : kFigures) add(FigureName(figure), ChannelName(channel), FigureUnit(figure));
  }
  // The limits in force are those of the newest selected run; its values
  // are also where the sums start from: sums of deviations from a value near
  // the mean keep the digits of a small spread around a large mean.
  std::map<Key, double> shifts;
  db.Query("SELECT m.figure, m.channel, m.low, m.high, m.value FROM measurements m WHERE "
           "m.tone = 0 AND m.run_id = (SELECT r.run_id FROM runs r WHERE " + where.sql +
               " ORDER BY r.started_at DESC, r.run_id DESC LIMIT 1)",
           where.params, [&](const SqlRow& row) {
             for (FigureStats& f : figures) {
               if (f.figure != row.Text(0) || f.channel != row.Text(1)) continue;
               f.low = row.OptionalDouble(2);
               f.high = row.OptionalDouble(3);
               shifts[{f.figure, f.channel}] = row.IsNull(4) ? 0 : row.Double(4);
             }
           });
  // One range of the (figure, channel, tone, value) index per figure.
  const std::string from = MeasurementsOf(where);
  for (FigureStats& f : figures) {
    const double shift = shifts[{f.figure, f.channel}];
    std::vector<SqlValue> params = where.params;
    const std::string n = std::to_string(params.size() + 1);
    const std::string c = std::to_string(params.size() + 2);
    const std::string d = "(m.value - $" + std::to_string(params.size() + 3) + ")";
    params.insert(params.end(), {f.figure, f.channel, shift});
    double sum = 0, squares = 0;
    db.Query("SELECT count(m.value), sum" + d + ", sum(" + d + " * " + d +
                 "), min(m.value), max(m.value)" + from + "m.figure = $" + n +
                 " AND m.channel = $" + c + " AND m.tone = 0 AND m.value IS NOT NULL",
             params, [&](const SqlRow& row) {
               f.n = static_cast<std::size_t>(row.Int(0));
               if (f.n == 0) return;
               sum = row.Double(1);
               squares = row.Double(2);
               f.min = row.Double(3);
               f.max = row.Double(4);
             });
    if (f.n == 0) continue;
    const double count = static_cast<double>(f.n);
    f.mean = shift + sum / count;
    if (f.n > 1) f.stddev = std::sqrt(std::max(0.0, (squares - sum * sum / count) / (count - 1)));
    if (f.stddev > 0 && (f.low || f.high)) {
      double distance = INFINITY;
      if (f.low) distance = std::min(distance, f.mean - *f.low);
      if (f.high) distance = std::min(distance, *f.high - f.mean);
      f.cpk = distance / (3 * f.stddev);
    }
    stats.figures.push_back(std::move(f));
  }
}

void MostFailing(Database& db, const SqlCondition& where, RunStats& stats) {
  db.Query("SELECT m.figure, m.channel, count(DISTINCT m.run_id) AS n" + MeasurementsOf(where) +
               "m.outcome = 'FAIL' GROUP BY m.figure, m.channel "
               "ORDER BY n DESC, m.figure, m.channel LIMIT 10",
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
