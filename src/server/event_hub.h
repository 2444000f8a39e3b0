#pragma once
// The station's live events (a run started, a step began, the verdict) for
// every page that listens. Publishing never waits for a listener: events go
// into a bounded log, and each listener reads from it at its own pace. A
// listener that falls too far behind skips the events that left the log.
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace multitone::server {

struct StationEvent {
  std::uint64_t id = 0;  // first_after + 1, + 2, ... in the order published
  std::string name;      // "started", "step", "verdict"
  std::string data;      // one line of JSON
};

// The event as Server-Sent Events text: "id: 7\nevent: step\ndata: {...}\n\n".
std::string SseFrame(const StationEvent& event);

class EventHub {
 public:
  // Ids start after `first_after`: a station started later numbers its events
  // after those of an earlier one, so a page that saw the earlier station
  // never takes a restarted one's events for old news.
  explicit EventHub(std::size_t kept = 256, std::uint64_t first_after = 0)
      : kept_(kept), last_id_(first_after) {}

  // Adds an event; `data` must hold no line break (compact JSON has none).
  void Publish(std::string name, std::string data);

  // The events after `after`, waiting up to `timeout` for one to come.
  // Empty after the timeout, and at once when the hub is closed.
  std::vector<StationEvent> WaitAfter(std::uint64_t after, std::chrono::milliseconds timeout);

  // The id of the newest event (`first_after` when none): where a new
  // listener starts.
  std::uint64_t LastId() const;

  // Wakes every listener for good: the server is going down.
  void Close();
  bool Closed() const;

 private:
  const std::size_t kept_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<StationEvent> log_;
  std::uint64_t last_id_;
  bool closed_ = false;
};

}  // namespace multitone::server
