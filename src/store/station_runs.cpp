#include "store/station_runs.h"

#include "store/dialect.h"

namespace multitone {

std::vector<StationRun> RecentStationRuns(Database& db, const std::string& station, std::size_t count) {
  std::vector<StationRun> runs;
  db.Query("SELECT run_id, serial, verdict, " + TimeText(db.engine(), "started_at") + ", " +
               TimeText(db.engine(), "ended_at") +
               ", error_number, error_step, error_text, simulated FROM runs WHERE station = $1 "
               "ORDER BY started_at DESC, run_id DESC LIMIT $2",
           {station, static_cast<std::int64_t>(count)}, [&](const SqlRow& row) {
             StationRun run;
             run.run_id = row.Text(0);
             run.serial = row.Text(1);
             run.verdict = row.Text(2);
             run.started_at = row.Text(3);
             run.ended_at = row.Text(4);
             if (!row.IsNull(5)) {
               run.error_number = row.Int(5);
               run.error_step = row.Text(6);
               run.error_text = row.Text(7);
             }
             run.simulated = !row.IsNull(8) && row.Int(8) != 0;
             runs.push_back(std::move(run));
           });
  return runs;
}

std::vector<std::pair<std::string, std::int64_t>> StationVerdictCounts(Database& db, const std::string& station,
                                                                        const std::string& since) {
  std::vector<std::pair<std::string, std::int64_t>> counts;
  // Golden checks and study runs test the same units again: not the day's yield.
  db.Query("SELECT verdict, COUNT(*) FROM runs WHERE station = $1 AND purpose = 'production' AND started_at >= " +
               TimeParam(db.engine(), 2) +
               " GROUP BY verdict",
           {station, since}, [&](const SqlRow& row) { counts.emplace_back(row.Text(0), row.Int(1)); });
  return counts;
}

}  // namespace multitone
