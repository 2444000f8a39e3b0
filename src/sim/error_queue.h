#pragma once
// The instrument's error queue: first in, first out, at most kCapacity
// entries. When it is full the newest entry is replaced by -350 "Queue
// overflow" and later errors are lost until it is read, as SCPI prescribes.
#include <cstddef>
#include <deque>
#include <string>

#include "sim/scpi_error.h"

namespace multitone::sim {

class ErrorQueue {
 public:
  static constexpr std::size_t kCapacity = 16;
  static constexpr std::size_t kMaxDetail = 80;  // characters of detail kept

  void Push(ScpiCode code, std::string_view detail = {});
  // The oldest entry as SYST:ERR? answers it ("-113,\"Undefined header;FOO\""),
  // or 0,"No error" when empty; removes it.
  std::string PopAnswer();
  // Every entry as SYST:ERR:ALL? answers it: the answers joined by ",",
  // oldest first, or 0,"No error" when empty; empties the queue.
  std::string PopAllAnswers();
  std::size_t Size() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    ScpiCode code;
    std::string detail;
  };
  std::deque<Entry> entries_;
};

}  // namespace multitone::sim
