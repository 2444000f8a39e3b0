#include "store/golden_runs.h"

#include <filesystem>

#include "store/dialect.h"
#include "store/results_store.h"
#include "store/results_url.h"
#include "store/sqlite_database.h"
#include "store/store_session.h"

namespace multitone {

std::optional<GoldenRunRow> LatestGoldenRun(Database& db, const std::string& station) {
  std::optional<GoldenRunRow> found;
  db.Query("SELECT run_id, serial, " + TimeText(db.engine(), "started_at") +
               ", CAST(result_json AS TEXT) FROM runs WHERE station = $1 AND purpose = 'golden' "
               "ORDER BY started_at DESC, run_id DESC LIMIT 1",
           {station}, [&](const SqlRow& row) {
             found = GoldenRunRow{row.Text(0), row.Text(1), row.Text(2), row.Text(3)};
           });
  return found;
}

std::int64_t ProductionRunsAfter(Database& db, const std::string& station, const std::string& after) {
  std::int64_t count = 0;
  const auto read = [&](const SqlRow& row) { count = row.Int(0); };
  if (after.empty()) {
    db.Query("SELECT COUNT(*) FROM runs WHERE station = $1 AND purpose = 'production'", {station}, read);
  } else {
    db.Query("SELECT COUNT(*) FROM runs WHERE station = $1 AND purpose = 'production' AND started_at > " +
                 TimeParam(db.engine(), 2),
             {station, after}, read);
  }
  return count;
}

namespace {

void Merge(GoldenHistory& history, Database& db, const std::string& station, std::vector<Database*>& read) {
  if (auto latest = LatestGoldenRun(db, station)) {
    if (!history.latest || latest->started_at > history.latest->started_at) history.latest = std::move(latest);
  }
  read.push_back(&db);
}

}  // namespace

GoldenHistory ReadGoldenHistory(const RunStorage& storage, const std::string& station) {
  StoreSession session(storage);
  return ReadGoldenHistory(session, station);
}

GoldenHistory ReadGoldenHistory(StoreSession& session, const std::string& station) {
  const RunStorage& storage = session.storage();
  GoldenHistory history;
  const auto url = ParseResultsUrl(storage.results);
  if (!url) throw StoreError(CheckResultsUrl(storage.results));
  std::vector<Database*> read;
  std::optional<ResultsStore> spool;
  if (url->engine == Engine::Sqlite) {
    Merge(history, session.Results().db(), station, read);
  } else {
    try {
      Merge(history, session.Results().db(), station, read);
    } catch (const StoreError& error) {
      history.problem = error.what();
      session.Forget();  // what comes after opens the server anew
    }
    // Runs on their way to the server count as much as those already there.
    const std::string path = SpoolPath(storage);
    if (std::filesystem::exists(path)) {
      spool.emplace(ResultsStore::OpenExisting(OpenSqlite(path, false), path));
      Merge(history, spool->db(), station, read);
    }
  }
  const std::string after = history.latest ? history.latest->started_at : std::string();
  for (Database* db : read) history.production_since += ProductionRunsAfter(*db, station, after);
  return history;
}

SerialFigures SerialFigureMeans(Database& db, const std::string& serial, const std::string& station,
                                std::size_t newest) {
  std::string runs =
      "SELECT run_id FROM runs WHERE serial = $1 AND error_number IS NULL AND purpose IN ('production', 'golden')";
  std::vector<SqlValue> params = {serial, static_cast<std::int64_t>(newest)};
  if (!station.empty()) {
    runs += " AND station = $3";
    params.push_back(station);
  }
  runs += " ORDER BY started_at DESC, run_id DESC LIMIT $2";
  SerialFigures figures;
  db.Query("SELECT COUNT(*), MAX(" + TimeText(db.engine(), "started_at") + ") FROM runs WHERE run_id IN (" + runs + ")",
           params, [&](const SqlRow& row) {
             figures.runs = row.Int(0);
             figures.newest = row.Text(1);
           });
  db.Query(
      "SELECT figure, channel, tone, AVG(value), COUNT(value) FROM measurements WHERE value IS NOT NULL "
      "AND run_id IN (" +
          runs + ") GROUP BY figure, channel, tone ORDER BY figure, channel, tone",
      params, [&](const SqlRow& row) {
        figures.means.push_back({row.Text(0), row.Text(1), static_cast<int>(row.Int(2)), row.Double(3), row.Int(4)});
      });
  return figures;
}

}  // namespace multitone
