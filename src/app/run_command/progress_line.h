#pragma once
// One status line per step on a terminal, rewritten in place
// ("[4/13] MeasurePitch"); nothing when stderr is not a terminal.
#include <cstddef>
#include <string_view>

namespace multitone {

class ProgressLine {
 public:
  // Shows nothing when `enabled` is false or stderr is not a terminal.
  explicit ProgressLine(bool enabled);
  ~ProgressLine();  // clears the line

  void Show(std::size_t index, std::size_t count, std::string_view step);

 private:
  bool active_;
};

}  // namespace multitone
