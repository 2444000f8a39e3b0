#include "store/chart_history.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "store/dialect.h"
#include "store/stretch_start.h"

namespace multitone {
namespace {

// Runs read beyond the charts' needs, for values a run did not define.
constexpr std::size_t kSpareRuns = 8;

struct StretchRun {
  std::string run_id;
  std::string started_at;
};

// "$first, $first+1, ..." for `count` parameters.
std::string Params(std::size_t first, std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) list += (i ? ", $" : "$") + std::to_string(first + i);
  return list;
}

}  // namespace

StationHistory ReadStationHistory(Database& db, const std::string& station, const std::string& limits_sha256,
                                  std::size_t first_count, std::size_t newest_count) {
  const Engine engine = db.engine();
  // Where the stretch begins: after the newest run under other limits.
  const std::string after = NewestRunUnderOtherLimits(db, station, limits_sha256);
  const std::string stretch = "FROM runs WHERE station = $1 AND purpose = 'production' AND limits_sha256 = $2" +
                              (after.empty() ? std::string() : " AND started_at > " + TimeParam(engine, 4));
  auto runs = [&](const std::string& order, std::size_t limit) {
    std::vector<SqlValue> params = {station, limits_sha256, static_cast<std::int64_t>(limit)};
    if (!after.empty()) params.push_back(after);
    std::vector<StretchRun> found;
    db.Query("SELECT run_id, " + TimeText(engine, "started_at") + " " + stretch + " ORDER BY " + order +
                 " LIMIT $3",
             params, [&](const SqlRow& row) { found.push_back({row.Text(0), row.Text(1)}); });
    return found;
  };
  // The stretch's first and newest runs, with spares for undefined values.
  const std::vector<StretchRun> first = runs("started_at, run_id", first_count + kSpareRuns);
  std::vector<StretchRun> newest = runs("started_at DESC, run_id DESC", newest_count + kSpareRuns);
  std::reverse(newest.begin(), newest.end());
  const bool whole = first.size() < first_count + kSpareRuns;  // the stretch is no longer than `first`

  // Their values, per chart in the order the runs started.
  std::map<std::string, std::size_t> position;  // run id: order in the stretch as read
  std::vector<SqlValue> ids;
  for (const std::vector<StretchRun>* list : {&first, static_cast<const std::vector<StretchRun>*>(&newest)}) {
    for (const StretchRun& run : *list) {
      if (position.emplace(run.run_id, position.size()).second) ids.push_back(run.run_id);
    }
  }
  StationHistory history;
  if (ids.empty()) return history;
  std::set<std::string> first_ids, newest_ids;
  for (const StretchRun& run : first) first_ids.insert(run.run_id);
  for (const StretchRun& run : newest) newest_ids.insert(run.run_id);
  struct Value {
    std::size_t order;
    HistoryPoint point;
  };
  std::map<std::tuple<std::string, std::string, int>, std::vector<Value>> charts;
  db.Query("SELECT figure, channel, tone, run_id, value FROM measurements WHERE value IS NOT NULL AND run_id IN (" +
               Params(1, ids.size()) + ")",
           ids, [&](const SqlRow& row) {
             const std::string run_id = row.Text(3);
             charts[{row.Text(0), row.Text(1), static_cast<int>(row.Int(2))}].push_back(
                 {position.at(run_id), {run_id, row.Double(4)}});
           });
  for (auto& [key, values] : charts) {
    std::sort(values.begin(), values.end(), [](const Value& a, const Value& b) { return a.order < b.order; });
    ChartHistory chart{std::get<0>(key), std::get<1>(key), std::get<2>(key), {}, {}, 0};
    std::vector<HistoryPoint> recent;
    for (const Value& v : values) {
      if (first_ids.count(v.point.run_id) && chart.first.size() < first_count) chart.first.push_back(v.point);
      if (newest_ids.count(v.point.run_id)) recent.push_back(v.point);
    }
    if (recent.size() > newest_count) recent.erase(recent.begin(), recent.end() - static_cast<std::ptrdiff_t>(newest_count));
    chart.newest = std::move(recent);
    // A stretch longer than what was read holds at least its first runs' values.
    chart.count = whole ? values.size() : std::max(values.size(), first_count);
    history.charts.push_back(std::move(chart));
  }
  std::vector<SqlValue> newest_params;
  for (const StretchRun& run : newest) newest_params.push_back(run.run_id);
  db.Query("SELECT run_id, figure, channel, tone, rule FROM alarms WHERE run_id IN (" +
               Params(1, newest_params.size()) + ")",
           newest_params, [&](const SqlRow& row) {
             history.alarms.push_back(
                 {row.Text(0), row.Text(1), row.Text(2), static_cast<int>(row.Int(3)), row.Text(4)});
           });
  return history;
}

}  // namespace multitone
