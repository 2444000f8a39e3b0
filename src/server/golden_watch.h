#pragma once
// The golden-unit station check as the station server sees it: a serial is
// checked against the store before its run starts (and again on the
// worker, just before the analyzer is touched), and the page shows the
// check's state from what was read last, so that no status answer waits on
// the store.
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "store/golden_runs.h"
#include "store/run_storage.h"
#include "verdict/limits.h"

namespace multitone::server {

class GoldenWatch {
 public:
  // Inactive unless the limits have a [golden] section and a store is given.
  GoldenWatch(const std::optional<LimitsSource>& limits, RunStorage storage, std::string station);

  bool Active() const { return active_; }
  // Why `serial` may not be tested now (read from the store), or nothing.
  std::optional<std::string> Refusal(const std::string& serial);
  // Reads the store again for the page (after each run).
  void Refresh();
  // The page's notice: {"state": "due" | "failed" | "passed" | "unknown",
  // "message", "last_at", "last_serial", "last_line", "next_due_at",
  // "units_left", "golden_serials"}; null when inactive.
  nlohmann::json Json(std::chrono::system_clock::time_point now) const;

 private:
  const bool active_;
  const GoldenSettings golden_;
  const RunStorage storage_;
  const std::string station_;
  mutable std::mutex mutex_;
  std::optional<GoldenHistory> read_;  // what the store held last
  std::string unreadable_;             // why the last read failed
};

}  // namespace multitone::server
