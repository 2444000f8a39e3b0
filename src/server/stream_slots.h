#pragma once
// At most a given number of event streams at once: a new stream beyond it
// ends the oldest, so pages left open (or clients that hoard streams) never
// keep the station's workers from the page in use.
#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

namespace multitone::server {

class StreamSlots {
 public:
  explicit StreamSlots(std::size_t limit) : limit_(limit) {}

  // A new stream's slot: true while the stream may go on.
  std::shared_ptr<const std::atomic<bool>> Open();

 private:
  const std::size_t limit_;
  std::mutex mutex_;
  std::deque<std::weak_ptr<std::atomic<bool>>> open_;  // oldest first
};

}  // namespace multitone::server
