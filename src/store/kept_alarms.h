#pragma once
// A station's alarms where its runs are kept (see run_storage.h): the SQLite
// file, or the PostgreSQL server together with the local spool, whose runs
// (and their alarms) have not reached the server yet.
#include <cstddef>
#include <string>
#include <vector>

#include "store/run_storage.h"
#include "store/stored_alarms.h"

namespace multitone {

class StoreSession;

// The alarms the filter selects, from the store and the spool, each once.
// Throws StoreError when the store cannot be read.
std::vector<AlarmRow> ReadKeptAlarms(const RunStorage& storage, const AlarmFilter& filter);
// The same through the run's open store (see store_session.h), which opens
// the store, creating it, where ReadKeptAlarms(storage) finds none.
std::vector<AlarmRow> ReadKeptAlarms(StoreSession& session, const AlarmFilter& filter);

struct Acknowledgement {
  std::size_t acknowledged = 0;  // alarms acknowledged (in the store or the spool)
  std::string error;             // why the store could not be written; "" when it was
};

// Acknowledges the open alarms the filter selects, now, by `by`: in the
// store, and in the spool for those still on their way to the server.
Acknowledgement AcknowledgeKeptAlarms(const RunStorage& storage, const AlarmFilter& filter, const std::string& by,
                                      const std::string& note);

}  // namespace multitone
