#include "server/store_run_history.h"

#include <ctime>
#include <stdexcept>

#include "common/iso_time.h"
#include "output/result_json.h"
#include "common/run_error.h"
#include "store/dialect.h"
#include "store/results_store.h"
#include "store/store_unit.h"

namespace multitone::server {
namespace {

// The start of the local calendar day, as the store's UTC time text.
std::string StartOfToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_isdst = -1;
  return IsoTimeUtc(std::chrono::system_clock::from_time_t(std::mktime(&local)));
}

}  // namespace

StoreRunHistory::StoreRunHistory(RunStorage storage, std::string station)
    : storage_(std::move(storage)), station_(std::move(station)) {}

std::string StoreRunHistory::Keep(const UnitResult& unit) { return KeepUnit(storage_, unit); }

void StoreRunHistory::Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) {
  own_.Remember(summary, ended_at);
}

void StoreRunHistory::Forward() {
  // A server that is down keeps the run in the spool for the next run or
  // `multitone sync`; the verdict stands either way.
  ForwardKeptRuns(storage_);
}

std::vector<RunSummary> StoreRunHistory::Recent(std::size_t count) const {
  try {
    ResultsStore store = ResultsStore::Open(storage_.results);
    Database& db = store.db();
    std::vector<RunSummary> runs;
    db.Query("SELECT run_id, serial, verdict, " + TimeText(db.engine(), "started_at") + ", " +
                 TimeText(db.engine(), "ended_at") +
                 ", error_number, error_step, error_text, simulated FROM runs WHERE station = $1 "
                 "ORDER BY started_at DESC, run_id DESC LIMIT $2",
             {station_, static_cast<std::int64_t>(count)}, [&](const SqlRow& row) {
               RunSummary summary;
               summary.run_id = row.Text(0);
               summary.serial = row.Text(1);
               summary.verdict = row.Text(2);
               summary.started_at = row.Text(3);
               summary.ended_at = row.Text(4);
               if (!row.IsNull(5)) {
                 summary.error = ErrorLine(static_cast<int>(row.Int(5)), row.Text(6), row.Text(7));
               }
               summary.simulated = !row.IsNull(8) && row.Int(8) != 0;
               runs.push_back(summary);
             });
    readable_ = true;
    return runs;
  } catch (const std::exception&) {
    readable_ = false;
    return own_.Recent(count);
  }
}

DayCounts StoreRunHistory::Today() const {
  try {
    ResultsStore store = ResultsStore::Open(storage_.results);
    Database& db = store.db();
    DayCounts counts;
    db.Query("SELECT verdict, COUNT(*) FROM runs WHERE station = $1 AND started_at >= " +
                 TimeParam(db.engine(), 2) + " GROUP BY verdict",
             {station_, StartOfToday()}, [&](const SqlRow& row) {
               for (std::int64_t i = 0; i < row.Int(1); ++i) CountRun(counts, row.Text(0));
             });
    readable_ = true;
    return counts;
  } catch (const std::exception&) {
    readable_ = false;
    return own_.Today();
  }
}

std::string StoreRunHistory::Source() const {
  return readable_ ? "the results store" : "this server's own runs (the results store cannot be read)";
}

}  // namespace multitone::server
