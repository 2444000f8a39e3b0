#pragma once
// One deadline per analyzer operation: the whole operation, not each piece of
// it, must complete before it.
#include <chrono>

namespace multitone {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  static Deadline After(std::chrono::milliseconds timeout) { return Deadline(Clock::now() + timeout); }
  explicit Deadline(Clock::time_point at) : at_(at) {}

  bool Expired() const { return Clock::now() >= at_; }
  // Milliseconds left, rounded up, at least 0: what poll() wants.
  int RemainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now()).count();
    return left <= 0 ? 0 : (left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left));
  }
  Clock::time_point At() const { return at_; }

 private:
  Clock::time_point at_;
};

}  // namespace multitone
