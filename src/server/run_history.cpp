#include "server/run_history.h"

#include <ctime>

namespace multitone::server {

int LocalDay(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return (local.tm_year + 1900) * 1000 + local.tm_yday;
}

void MemoryRunHistory::Remember(const RunSummary& summary, std::chrono::system_clock::time_point ended_at) {
  const int day = LocalDay(ended_at);
  std::lock_guard lock(mutex_);
  recent_.push_front(summary);
  if (recent_.size() > kKept) recent_.pop_back();
  if (day != counted_day_) {
    counted_day_ = day;
    counts_ = DayCounts{};
  }
  CountRun(counts_, summary.verdict);
}

std::vector<RunSummary> MemoryRunHistory::Recent(std::size_t count) const {
  std::lock_guard lock(mutex_);
  return {recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(std::min(count, recent_.size()))};
}

DayCounts MemoryRunHistory::Today() const {
  const int today = LocalDay(std::chrono::system_clock::now());
  std::lock_guard lock(mutex_);
  return counted_day_ == today ? counts_ : DayCounts{};
}

}  // namespace multitone::server
