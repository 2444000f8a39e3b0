#include "store/run_storage.h"

#include <optional>
#include <vector>

#include "common/durable_file.h"
#include "store/results_store.h"
#include "store/results_url.h"
#include "store/sqlite_database.h"
#include "store/store_session.h"

namespace multitone {
namespace {

// Runs per transaction on the server.
constexpr std::size_t kForwardBatch = 100;

}  // namespace

std::string SpoolPath(const RunStorage& storage) {
  return storage.spool.empty() ? DefaultSpoolPath() : storage.spool;
}

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
  StoreSession session(storage);
  return KeepRun(session, run);
}

std::string KeepRun(StoreSession& session, const StoredRun& run) {
  const RunStorage& storage = session.storage();
  try {
    const auto url = ParseResultsUrl(storage.results);
    if (!url) return CheckResultsUrl(storage.results);
    if (url->engine == Engine::Sqlite) {
      session.Results().Put(run);
    } else {
      ResultsStore(OpenSqlite(SpoolPath(storage))).Put(run);
    }
    return {};
  } catch (const StoreError& error) {
    return error.what();
  }
}

ForwardReport ForwardSpool(const RunStorage& storage) {
  StoreSession session(storage);
  return ForwardSpool(session);
}

ForwardReport ForwardSpool(StoreSession& session) {
  const RunStorage& storage = session.storage();
  ForwardReport report;
  const auto url = ParseResultsUrl(storage.results);
  if (!url) {
    report.error = CheckResultsUrl(storage.results);
    return report;
  }
  if (url->engine != Engine::Postgres) return report;
  std::optional<ResultsStore> spool;
  try {
    spool.emplace(ResultsStore::OpenExisting(OpenSqlite(SpoolPath(storage), false), SpoolPath(storage)));
    report.spool_read = true;
    if (spool->RunCount() == 0) return report;
    bool may_reopen = session.IsOpen();
    for (;;) {
      const std::vector<std::string> ids = spool->RunIds(kForwardBatch);
      if (ids.empty()) break;
      std::vector<StoredRun> runs;
      runs.reserve(ids.size());
      for (const auto& id : ids) {
        if (auto run = spool->Get(id)) runs.push_back(std::move(*run));
      }
      try {
        session.Results().Put(runs);
      } catch (const StoreError&) {
        if (!may_reopen) throw;
        may_reopen = false;
        session.Forget();
        continue;  // the same batch, on a new connection
      }
      // Killed here, the batch is forwarded again next time, and the server
      // keeps the copy it has. Another process forwarding the same spool at
      // once may have sent the batch too: each counts the runs it removed.
      report.forwarded += spool->Delete(ids);
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
