#pragma once
// One program run's results store, opened when first needed and then kept
// open for the rest of the run: the control charts read before the unit is
// tested, the kept unit after it and, with PostgreSQL, the runs forwarded
// from the spool all go through one connection instead of opening the store
// (reading its layout, or starting a server session) each time.
#include <optional>

#include "store/results_store.h"
#include "store/run_storage.h"

namespace multitone {

class StoreSession {
 public:
  explicit StoreSession(RunStorage storage) : storage_(std::move(storage)) {}
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;

  const RunStorage& storage() const { return storage_; }

  // The store --results names (the SQLite file, or the PostgreSQL server),
  // opened on first use and after a failed open or Forget. Throws StoreError.
  ResultsStore& Results();
  // Closes the connection, for one that failed: the next use opens anew.
  void Forget() { results_.reset(); }
  bool IsOpen() const { return results_.has_value(); }

 private:
  RunStorage storage_;
  std::optional<ResultsStore> results_;
};

}  // namespace multitone
