#pragma once
// The station's runs in the results store (--results): every finished run is
// kept there, and the page's counts and last runs are read back from it.
//
// Nothing the page asks for waits on the store: a thread of this history's
// own forwards the spool and reads the store (after each run, and every few
// seconds), and the page gets what it read last, with the runs recorded
// since. When the store cannot be read (a line server that is down) the page
// gets this server's own runs, and it is back on the store as soon as the
// store answers again. Each run that stays in the spool is logged, as the
// command line does.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "server/run_history.h"
#include "store/run_storage.h"

namespace multitone::server {

class StoreRunHistory : public RunHistory {
 public:
  // `notes` gets a line for each run kept in the spool only, and one when
  // the spool has been forwarded.
  StoreRunHistory(RunStorage storage, std::string station, std::ostream& notes = std::cerr);
  ~StoreRunHistory() override;
  StoreRunHistory(const StoreRunHistory&) = delete;
  StoreRunHistory& operator=(const StoreRunHistory&) = delete;

  // Keeps the run (in the file, or in the spool on its way to the server);
  // forwarding follows on the history's own thread. Empty on success, else
  // why the run could not be kept at all.
  std::string Keep(const UnitResult& unit) override;
  void Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) override;
  std::vector<RunSummary> Recent(std::size_t count) const override;
  DayCounts Today() const override;
  std::string Source() const override;

  // Forwards the spool and reads the store now (what the thread does).
  void Refresh();

 private:
  void Work();
  // True when the last read of the store has this run (mutex_ held).
  bool ReadAlready(const std::string& run_id) const;

  const RunStorage storage_;
  const std::string station_;
  std::ostream& notes_;
  MemoryRunHistory own_;  // the fallback

  std::mutex refreshing_;  // one refresh at a time
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::uint64_t recorded_ = 0;   // runs recorded so far
  std::uint64_t noted_ = 0;      // ... of which the spool's fate was logged
  bool read_ = false;            // the store has been read once
  bool readable_ = true;         // ... and answered the last time
  std::size_t waiting_ = 0;      // runs in the spool, not yet on the server
  std::vector<RunSummary> stored_recent_;  // as read, newest first
  DayCounts stored_today_;
  int stored_day_ = -1;                    // the local day of stored_today_
  struct Recorded {
    std::uint64_t number;
    int day;
    RunSummary summary;
  };
  std::deque<Recorded> since_read_;  // recorded after the read began, oldest first
  std::thread worker_;
};

}  // namespace multitone::server
