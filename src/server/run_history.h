#pragma once
// Where the station's finished runs go, and what the page lists of them:
// today's counts and the last runs. The results store backs it when the
// server has one; otherwise the server keeps its own runs in memory.
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "server/run_summary.h"
#include "verdict/unit_result.h"

namespace multitone::server {

class RunHistory {
 public:
  virtual ~RunHistory() = default;
  // Keeps a finished run where the station's runs are kept; empty on
  // success, else why not (the unit's pass then turns into ERROR).
  virtual std::string Keep(const UnitResult& unit) = 0;
  // Lists a finished run, with its final verdict, for the page.
  virtual void Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) = 0;
  // After the verdict is out: sends kept runs on (a spool to its server).
  virtual void Forward() {}
  // The newest `count` runs, newest first.
  virtual std::vector<RunSummary> Recent(std::size_t count) const = 0;
  // This station's counts for the local calendar day.
  virtual DayCounts Today() const = 0;
  // "results store" or "this server's own runs", for the page.
  virtual std::string Source() const = 0;
};

// The runs this server made since it started.
class MemoryRunHistory : public RunHistory {
 public:
  std::string Keep(const UnitResult&) override { return {}; }
  void Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) override;
  std::vector<RunSummary> Recent(std::size_t count) const override;
  DayCounts Today() const override;
  std::string Source() const override { return "this server's own runs"; }

 private:
  static constexpr std::size_t kKept = 100;
  mutable std::mutex mutex_;
  std::deque<RunSummary> recent_;  // newest first
  int counted_day_ = -1;           // the local day the counts are for
  DayCounts counts_;
};

// The local calendar day of a time as one number (year × 1000 + day of year).
int LocalDay(std::chrono::system_clock::time_point time);

}  // namespace multitone::server
