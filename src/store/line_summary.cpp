#include "store/line_summary.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "store/dialect.h"

namespace multitone {
namespace {

constexpr const char* kProduction = "r.purpose = 'production'";

void Count(YieldCounts& counts, const std::string& verdict, bool first, std::size_t n) {
  const bool judged = verdict != "NOT_JUDGED";
  const bool passed = verdict == "PASS" || verdict == "MARGINAL";
  counts.runs += n;
  counts.judged += judged ? n : 0;
  counts.passed += passed ? n : 0;
  counts.failed += verdict == "FAIL" ? n : 0;
  counts.errors += verdict == "ERROR" ? n : 0;
  if (!first) return;
  counts.serials += n;
  counts.first_judged += judged ? n : 0;
  counts.first_passed += passed ? n : 0;
}

void Finish(YieldCounts& counts) {
  if (counts.judged > 0) counts.yield = static_cast<double>(counts.passed) / static_cast<double>(counts.judged);
  if (counts.first_judged > 0) {
    counts.first_pass_yield = static_cast<double>(counts.first_passed) / static_cast<double>(counts.first_judged);
  }
}

// One pass over the runs of the day and the shift: each run counted in the
// periods it falls in, and as its serial's first run of a period where it
// is one (the serial's first run of the period, on whichever station).
void ReadYields(Database& db, const LinePeriods& periods, LineSummary& summary) {
  const Engine e = db.engine();
  const std::string day = TimeParam(e, 1), shift = TimeParam(e, 2);
  auto in = [](const std::string& start) { return "CASE WHEN r.started_at >= " + start + " THEN 1 ELSE 0 END"; };
  auto first = [&](const std::string& start) {
    return "CASE WHEN r.serial IS NOT NULL AND ROW_NUMBER() OVER (PARTITION BY r.serial, " + in(start) +
           " ORDER BY r.started_at, r.run_id) = 1 THEN 1 ELSE 0 END";
  };
  const std::string from = std::min(periods.day_start, periods.shift_start);
  std::map<std::string, StationYield> stations;
  db.Query("SELECT y.station, y.verdict, y.in_day, y.in_shift, y.first_day, y.first_shift, count(*) FROM "
           "(SELECT r.station, r.verdict, " + in(day) + " AS in_day, " + in(shift) + " AS in_shift, " +
               first(day) + " AS first_day, " + first(shift) + " AS first_shift FROM runs r WHERE " +
               kProduction + " AND r.started_at >= " + TimeParam(e, 3) + " AND r.started_at < " +
               TimeParam(e, 4) + ") y GROUP BY y.station, y.verdict, y.in_day, y.in_shift, y.first_day, "
               "y.first_shift",
           {periods.day_start, periods.shift_start, from, periods.until}, [&](const SqlRow& row) {
             StationYield& station = stations[row.Text(0)];
             station.station = row.Text(0);
             const std::string verdict = row.Text(1);
             const auto n = static_cast<std::size_t>(row.Int(6));
             if (row.Int(2) != 0) Count(station.day, verdict, row.Int(4) != 0, n);
             if (row.Int(3) != 0) Count(station.shift, verdict, row.Int(5) != 0, n);
           });
  for (auto& [name, station] : stations) {
    Finish(station.day);
    Finish(station.shift);
    summary.stations.push_back(std::move(station));
  }
}

// The failing figures of the day: from the index of failed measurements,
// joined with the day's production runs.
void ReadPareto(Database& db, const LinePeriods& periods, LineSummary& summary) {
  const Engine e = db.engine();
  db.Query("SELECT m.figure, m.channel, count(DISTINCT m.run_id) AS n FROM measurements m JOIN runs r "
           "ON r.run_id = m.run_id WHERE m.outcome = 'FAIL' AND " + std::string(kProduction) +
               " AND r.started_at >= " + TimeParam(e, 1) + " AND r.started_at < " + TimeParam(e, 2) +
               " GROUP BY m.figure, m.channel ORDER BY n DESC, m.figure, m.channel",
           {periods.day_start, periods.until}, [&](const SqlRow& row) {
             summary.pareto.push_back({row.Text(0), row.Text(1), static_cast<std::size_t>(row.Int(2))});
           });
}

// Per station and figure the count, mean and squared deviations of the
// values of the station's newest production runs of the day. The sums are
// taken of deviations from the newest run's value, which is near the mean:
// a small spread around a large mean keeps its digits.
void ReadSpreads(Database& db, const LinePeriods& periods, std::size_t spread_runs, LineSummary& summary) {
  const Engine e = db.engine();
  const std::string day = " AND r.started_at >= " + TimeParam(e, 1) + " AND r.started_at < " + TimeParam(e, 2);
  const std::string newest = "(SELECT r.run_id FROM runs r WHERE " + std::string(kProduction) + day +
                             " AND EXISTS (SELECT 1 FROM measurements x WHERE x.run_id = r.run_id) "
                             "ORDER BY r.started_at DESC, r.run_id DESC LIMIT 1)";
  using Key = std::pair<std::string, std::string>;
  std::map<Key, FigureSpreads> figures;
  std::map<Key, double> shifts;
  db.Query("SELECT figure, channel, unit, low, high, value FROM measurements WHERE tone = 0 AND run_id = " +
               newest,
           {periods.day_start, periods.until}, [&](const SqlRow& row) {
             const Key key{row.Text(0), row.Text(1)};
             figures[key] = {key.first, key.second, row.Text(2), row.OptionalDouble(3), row.OptionalDouble(4), {}};
             shifts[key] = row.IsNull(5) ? 0 : row.Double(5);
           });
  if (figures.empty()) return;
  db.Query("SELECT f.station, m.figure, m.channel, count(*), sum(m.value - COALESCE(k.shift, 0)), "
           "sum((m.value - COALESCE(k.shift, 0)) * (m.value - COALESCE(k.shift, 0))) "
           "FROM (SELECT r.run_id, r.station, ROW_NUMBER() OVER (PARTITION BY r.station ORDER BY r.started_at DESC, "
           "r.run_id DESC) AS newest FROM runs r WHERE " + std::string(kProduction) + day + ") f "
           "JOIN measurements m ON m.run_id = f.run_id AND m.tone = 0 "
           "LEFT JOIN (SELECT figure, channel, value AS shift FROM measurements WHERE tone = 0 AND run_id = " +
               newest + ") k ON k.figure = m.figure AND k.channel = m.channel WHERE f.newest <= $3 AND "
               "m.value IS NOT NULL GROUP BY f.station, m.figure, m.channel",
           {periods.day_start, periods.until, SqlValue{static_cast<std::int64_t>(spread_runs)}},
           [&](const SqlRow& row) {
             const auto found = figures.find({row.Text(1), row.Text(2)});
             if (found == figures.end()) return;  // a figure the newest run does not have
             const auto n = row.Int(3);
             const double shift = shifts[found->first];
             const double sum = row.Double(4), sum_squares = row.Double(5);
             FigureMoments moments;
             moments.n = static_cast<std::size_t>(n);
             moments.mean = shift + sum / static_cast<double>(n);
             moments.squares = std::max(0.0, sum_squares - sum * sum / static_cast<double>(n));
             found->second.stations.emplace_back(row.Text(0), moments);
           });
  for (auto& [key, spread] : figures) {
    std::sort(spread.stations.begin(), spread.stations.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    summary.figures.push_back(std::move(spread));
  }
}

void ReadAlarms(Database& db, const LinePeriods& periods, LineSummary& summary) {
  const Engine e = db.engine();
  db.Query("SELECT station, figure, channel, tone, rule, run_id, " + TimeText(e, "raised_at") +
               ", value, centre, sigma, acknowledged_by, " + TimeText(e, "acknowledged_at") +
               " FROM alarms WHERE raised_at >= " + TimeParam(e, 1) +
               " OR acknowledged_at IS NULL ORDER BY raised_at DESC, station, figure, channel, tone LIMIT " +
               std::to_string(kListedAlarms),
           {periods.day_start}, [&](const SqlRow& row) {
             StoredAlarm& a = summary.alarms.emplace_back();
             a.station = row.Text(0);
             a.figure = row.Text(1);
             a.channel = row.Text(2);
             a.tone = static_cast<int>(row.Int(3));
             a.rule = row.Text(4);
             a.run_id = row.Text(5);
             a.raised_at = row.Text(6);
             a.value = row.Double(7);
             a.centre = row.Double(8);
             a.sigma = row.Double(9);
             a.acknowledged_by = row.Text(10);
             a.acknowledged_at = row.Text(11);
           });
}

}  // namespace

LineSummary ReadLineSummary(Database& db, const LinePeriods& periods, std::size_t spread_runs) {
  LineSummary summary;
  ReadYields(db, periods, summary);
  ReadPareto(db, periods, summary);
  ReadSpreads(db, periods, spread_runs, summary);
  ReadAlarms(db, periods, summary);
  return summary;
}

}  // namespace multitone
