#include "store/run_storage.h"

#include <optional>
#include <vector>

#include "common/durable_file.h"
#include "store/results_store.h"
#include "store/results_url.h"
#include "store/sqlite_database.h"

namespace multitone {
namespace {

// Runs per transaction on the server.
constexpr std::size_t kForwardBatch = 100;

std::string SpoolPath(const RunStorage& storage) {
  return storage.spool.empty() ? DefaultSpoolPath() : storage.spool;
}

}  // namespace

std::string CheckResultsUrl(const std::string& url) {
  const auto parsed = ParseResultsUrl(url);
  if (!parsed) {
    return "--results " + url + ": expected sqlite:PATH, a file ending in .db or .sqlite, or postgresql://...";
  }
  if (parsed->engine != Engine::Sqlite) return {};
  // An in-memory database keeps nothing: a run "stored" there is lost.
  const std::string& file = parsed->target;
  if (file.empty() || file.find(":memory:") != std::string::npos || file.find("mode=memory") != std::string::npos) {
    return "--results " + url + ": names no file (an in-memory database keeps nothing)";
  }
  if (file.rfind("file:", 0) == 0) return {};
  if (const std::string why = WhyFileCannotBeWritten(file); !why.empty()) return "--results " + why;
  return {};
}

std::string KeepRun(const RunStorage& storage, const StoredRun& run) {
  try {
    const auto url = ParseResultsUrl(storage.results);
    if (!url) return CheckResultsUrl(storage.results);
    if (url->engine == Engine::Sqlite) {
      ResultsStore(OpenDatabase(*url)).Put(run);
    } else {
      ResultsStore(OpenSqlite(SpoolPath(storage))).Put(run);
    }
    return {};
  } catch (const StoreError& error) {
    return error.what();
  }
}

ForwardReport ForwardSpool(const RunStorage& storage) {
  ForwardReport report;
  const auto url = ParseResultsUrl(storage.results);
  if (!url) {
    report.error = CheckResultsUrl(storage.results);
    return report;
  }
  if (url->engine != Engine::Postgres) return report;
  std::optional<ResultsStore> spool;
  try {
    spool.emplace(OpenSqlite(SpoolPath(storage)));
    if (spool->RunCount() == 0) return report;
    ResultsStore server(OpenDatabase(*url));
    for (;;) {
      const std::vector<std::string> ids = spool->RunIds(kForwardBatch);
      if (ids.empty()) break;
      std::vector<StoredRun> runs;
      runs.reserve(ids.size());
      for (const auto& id : ids) {
        if (auto run = spool->Get(id)) runs.push_back(std::move(*run));
      }
      server.Put(runs);
      // Killed here, the batch is forwarded again next time, and the server
      // keeps the copy it has.
      spool->Delete(ids);
      report.forwarded += ids.size();
    }
  } catch (const StoreError& error) {
    report.error = error.what();
  }
  if (spool) {
    try {
      report.left = spool->RunCount();
    } catch (const StoreError&) {
    }
  }
  return report;
}

}  // namespace multitone
