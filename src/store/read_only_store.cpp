#include "store/read_only_store.h"

#include "store/results_url.h"
#include "store/schema.h"
#include "store/sqlite_database.h"

namespace multitone {

std::unique_ptr<Database> OpenStoreReadOnly(const std::string& url) {
  const auto parsed = ParseResultsUrl(url);
  if (!parsed) throw StoreError("--results " + url + ": expected sqlite:PATH, a .db file or postgresql://...");
  std::unique_ptr<Database> db;
  if (parsed->engine == Engine::Sqlite) {
    db = OpenSqlite(parsed->target, false);
    db->Execute("PRAGMA query_only = ON");
  } else {
    db = OpenDatabase(*parsed);
    db->Execute("SET default_transaction_read_only = on");
    // The line page's reads are index probes into a store that a line's
    // server holds in memory or on solid-state disks: priced as such, the
    // planner walks a station's own index instead of every station's runs.
    db->Execute("SET random_page_cost = 1.1");
    // Each read is small: parallel workers would cost more to start than
    // they save, and the server's cores are the stations' for their writes.
    db->Execute("SET max_parallel_workers_per_gather = 0");
  }
  switch (ReadLayout(*db)) {
    case Layout::None:
      throw StoreError("no such results store: " + url);
    case Layout::Older:
      throw StoreError("the results store " + url +
                       " has an older layout: a station of this version brings it up to date");
    case Layout::Ours:
      break;
  }
  return db;
}

}  // namespace multitone
