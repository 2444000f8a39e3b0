#pragma once
// The one simulated analyzer behind both front doors of analyzer-sim (the
// raw socket and VXI-11): whoever touches it holds `mutex`. A VXI-11 link
// that holds the device lock (device_lock) keeps the other door waiting.
#include <condition_variable>
#include <mutex>

#include "sim/simulated_analyzer.h"

namespace multitone::simserver {

struct SharedAnalyzer {
  explicit SharedAnalyzer(const sim::DeviceOptions& device) : analyzer(device) {}

  std::mutex mutex;
  std::condition_variable unlocked;  // notified when the device lock is released
  sim::SimulatedAnalyzer analyzer;
  long lock_holder = 0;              // the VXI-11 link holding the device lock, 0 for none
};

}  // namespace multitone::simserver
