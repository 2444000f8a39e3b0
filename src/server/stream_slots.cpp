#include "server/stream_slots.h"

#include <algorithm>

namespace multitone::server {

std::shared_ptr<const std::atomic<bool>> StreamSlots::Open() {
  auto slot = std::make_shared<std::atomic<bool>>(true);
  std::lock_guard lock(mutex_);
  open_.erase(std::remove_if(open_.begin(), open_.end(), [](const auto& open) { return open.expired(); }),
              open_.end());
  open_.push_back(slot);
  while (open_.size() > limit_) {
    if (const auto oldest = open_.front().lock()) *oldest = false;
    open_.pop_front();
  }
  return slot;
}

}  // namespace multitone::server
