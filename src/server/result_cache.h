#pragma once
// The result documents and response drawings of this server's latest runs,
// for GET /api/runs/{run_id}; the oldest leave when the cache is full.
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace multitone::server {

struct CachedResult {
  std::string run_id;
  std::string json;          // the result document, as --json writes it
  std::string response_svg;  // both channels' response with the mask
};

class ResultCache {
 public:
  explicit ResultCache(std::size_t kept = 64) : kept_(kept) {}
  void Add(CachedResult result);
  std::optional<CachedResult> Find(const std::string& run_id) const;

 private:
  const std::size_t kept_;
  mutable std::mutex mutex_;
  std::deque<CachedResult> results_;
};

}  // namespace multitone::server
