#pragma once
// The results store: runs, their measurements and the limits they were
// judged against, on either engine. Each run is written in one transaction,
// so a process killed at any point leaves the whole run or none of it; a run
// already there (same run_id) is left as it is.
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/stored_run.h"

namespace multitone {

class ResultsStore {
 public:
  // Takes the database and lays out its tables if missing. Throws StoreError.
  explicit ResultsStore(std::unique_ptr<Database> db);
  // Opens --results URL (see results_url.h), laying out a new store.
  // Throws StoreError.
  static ResultsStore Open(const std::string& url);
  // Opens a store that is there already, changing nothing: for the commands
  // that read one. "no such results store: URL" when there is none.
  static ResultsStore OpenExisting(const std::string& url);
  static ResultsStore OpenExisting(std::unique_ptr<Database> db, const std::string& name);

  // Stores the runs in one transaction; returns how many were new.
  std::size_t Put(std::span<const StoredRun> runs);
  bool Put(const StoredRun& run) { return Put(std::span(&run, 1)) == 1; }

  // The run as stored; its measurements ordered by tone, channel, figure,
  // its alarms by figure, channel, tone and rule.
  std::optional<StoredRun> Get(const std::string& run_id);
  // Up to `limit` run ids, oldest first.
  std::vector<std::string> RunIds(std::size_t limit);
  std::size_t RunCount();
  // Removes the runs, their measurements and alarms, in one transaction; returns
  // how many of the runs were there to remove.
  std::size_t Delete(std::span<const std::string> run_ids);

  Database& db() { return *db_; }
  Engine engine() const { return db_->engine(); }

 private:
  struct AsItIs {};
  ResultsStore(std::unique_ptr<Database> db, AsItIs) : db_(std::move(db)) {}
  void PutOne(const StoredRun& run, bool& stored);
  void PutAlarms(const StoredRun& run);
  std::unique_ptr<Database> db_;
};

}  // namespace multitone
