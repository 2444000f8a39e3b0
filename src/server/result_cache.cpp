#include "server/result_cache.h"

namespace multitone::server {

void ResultCache::Add(CachedResult result) {
  std::lock_guard lock(mutex_);
  results_.push_back(std::move(result));
  while (results_.size() > kept_) results_.pop_front();
}

std::optional<CachedResult> ResultCache::Find(const std::string& run_id) const {
  std::lock_guard lock(mutex_);
  for (const auto& result : results_) {
    if (result.run_id == run_id) return result;
  }
  return std::nullopt;
}

}  // namespace multitone::server
