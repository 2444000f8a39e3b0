#include "store/kept_alarms.h"

#include <chrono>
#include <filesystem>
#include <set>
#include <tuple>

#include "common/iso_time.h"
#include "store/results_store.h"
#include "store/results_url.h"
#include "store/sqlite_database.h"
#include "store/store_session.h"

namespace multitone {
namespace {

// The spool of a PostgreSQL store, when there is one on this machine.
std::optional<ResultsStore> Spool(const RunStorage& storage) {
  const auto url = ParseResultsUrl(storage.results);
  if (!url || url->engine != Engine::Postgres) return std::nullopt;
  const std::string path = SpoolPath(storage);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return ResultsStore::OpenExisting(OpenSqlite(path, false), path);
}

// The spool's alarms that `rows` lacks, added to it.
void AddSpooledAlarms(const RunStorage& storage, const AlarmFilter& filter, std::vector<AlarmRow>& rows) {
  try {
    if (auto spool = Spool(storage)) {
      std::set<std::tuple<std::string, std::string, std::string, int, std::string>> seen;
      for (const AlarmRow& row : rows) seen.emplace(row.run_id, row.figure, row.channel, row.tone, row.rule);
      for (AlarmRow& row : ReadAlarms(spool->db(), filter)) {
        if (!seen.count({row.run_id, row.figure, row.channel, row.tone, row.rule})) rows.push_back(std::move(row));
      }
    }
  } catch (const StoreError&) {
    // A spool that cannot be read holds nothing this station can show.
  }
}

}  // namespace

std::vector<AlarmRow> ReadKeptAlarms(const RunStorage& storage, const AlarmFilter& filter) {
  std::vector<AlarmRow> rows = ReadAlarms(ResultsStore::OpenExisting(storage.results).db(), filter);
  AddSpooledAlarms(storage, filter, rows);
  return rows;
}

std::vector<AlarmRow> ReadKeptAlarms(StoreSession& session, const AlarmFilter& filter) {
  std::vector<AlarmRow> rows = ReadAlarms(session.Results().db(), filter);
  AddSpooledAlarms(session.storage(), filter, rows);
  return rows;
}

Acknowledgement AcknowledgeKeptAlarms(const RunStorage& storage, const AlarmFilter& filter, const std::string& by,
                                      const std::string& note) {
  Acknowledgement result;
  const std::string now = IsoTimeUtc(std::chrono::system_clock::now());
  try {
    result.acknowledged += AcknowledgeAlarms(ResultsStore::OpenExisting(storage.results).db(), filter, by, now, note);
  } catch (const StoreError& error) {
    result.error = error.what();
  }
  try {
    // Forwarded later with the acknowledgement; the server keeps the first
    // one it got.
    if (auto spool = Spool(storage)) result.acknowledged += AcknowledgeAlarms(spool->db(), filter, by, now, note);
  } catch (const StoreError&) {
  }
  return result;
}

}  // namespace multitone
