#pragma once
// Where a station's runs go. With SQLite, straight into the file. With
// PostgreSQL, first into a local SQLite spool (committed, so nothing is lost
// when the server or the network is down), then forwarded; a run that cannot
// be forwarded now goes with the next run or with `multitone sync`. The
// server never decides a unit's verdict: only a run that cannot be kept even
// locally makes the run fail.
#include <cstddef>
#include <string>

#include "store/stored_run.h"

namespace multitone {

class StoreSession;

struct RunStorage {
  std::string results;  // --results URL
  std::string spool;    // --spool PATH; empty: DefaultSpoolPath()
};

// The spool this storage's runs wait in on their way to PostgreSQL: --spool,
// else DefaultSpoolPath().
std::string SpoolPath(const RunStorage& storage);

// Empty when `url` names a results store, else why not.
std::string CheckResultsUrl(const std::string& url);

// Keeps the run durably (in the SQLite file, or in the spool on its way to
// PostgreSQL). Empty on success, else the reason it could not be stored.
std::string KeepRun(const RunStorage& storage, const StoredRun& run);
// The same through the run's open store (see store_session.h).
std::string KeepRun(StoreSession& session, const StoredRun& run);

struct ForwardReport {
  std::size_t forwarded = 0;  // runs this call moved from the spool to the server
  std::size_t left = 0;       // runs still in the spool
  std::string error;          // why forwarding stopped; empty when it did not
  bool spool_read = false;    // false: the spool could not be opened (see error)
};

// Forwards every spooled run to the PostgreSQL server in batches, each batch
// one transaction on the server; a run the server has already is not stored
// twice. Nothing to do for SQLite. A spool that is not there is an error.
ForwardReport ForwardSpool(const RunStorage& storage);
// The same to the run's open server connection; one opened earlier in the
// run that fails is opened anew once, since the server may have closed it.
ForwardReport ForwardSpool(StoreSession& session);

}  // namespace multitone
