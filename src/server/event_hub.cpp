#include "server/event_hub.h"

namespace multitone::server {

std::string SseFrame(const StationEvent& event) {
  return "id: " + std::to_string(event.id) + "\nevent: " + event.name + "\ndata: " + event.data +
         "\n\n";
}

void EventHub::Publish(std::string name, std::string data) {
  {
    std::lock_guard lock(mutex_);
    log_.push_back(StationEvent{++last_id_, std::move(name), std::move(data)});
    while (log_.size() > kept_) log_.pop_front();
  }
  changed_.notify_all();
}

std::vector<StationEvent> EventHub::WaitAfter(std::uint64_t after, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return closed_ || last_id_ > after; });
  std::vector<StationEvent> events;
  if (closed_) return events;
  for (const auto& event : log_) {
    if (event.id > after) events.push_back(event);
  }
  return events;
}

std::uint64_t EventHub::LastId() const {
  std::lock_guard lock(mutex_);
  return last_id_;
}

void EventHub::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventHub::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace multitone::server
