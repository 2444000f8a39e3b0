#pragma once
// The station's runs in the results store (--results): every finished run is
// kept there, and the page's counts and last runs are read back from it. When
// the store cannot be read (a line server that is down) the page falls back
// to this server's own runs.
#include <string>

#include "server/run_history.h"
#include "store/run_storage.h"

namespace multitone::server {

class StoreRunHistory : public RunHistory {
 public:
  StoreRunHistory(RunStorage storage, std::string station);

  // Keeps the run (in the file, or in the spool on its way to the server),
  // then forwards the spool. Throws when the run cannot be kept at all.
  std::string Keep(const UnitResult& unit) override;
  void Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) override;
  void Forward() override;
  std::vector<RunSummary> Recent(std::size_t count) const override;
  DayCounts Today() const override;
  std::string Source() const override;

 private:
  RunStorage storage_;
  std::string station_;
  MemoryRunHistory own_;        // the fallback
  mutable bool readable_ = true;  // the store answered the last time it was read
};

}  // namespace multitone::server
