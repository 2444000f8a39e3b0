#pragma once
// Band-limited white Gaussian noise made in the frequency domain: every FFT
// bin inside the band gets a random complex value, the rest nothing, and an
// inverse FFT gives a record whose RMS is the one asked for (on average) and
// that repeats after its length.
#include <cstdint>
#include <map>
#include <memory>
#include <span>

#include "sim/real_fft.h"

namespace multitone::sim {

class NoiseSource {
 public:
  // Adds noise of RMS `rms_v` between `low_hz` and `high_hz` to out[n], the
  // record being periodic with `period` samples (even); `key` chooses the
  // realisation: the same key gives the same noise.
  void Add(double rms_v, double low_hz, double high_hz, double sample_rate_hz, std::size_t period,
           std::uint64_t key, std::span<float> out);

 private:
  std::map<std::size_t, std::unique_ptr<RealFft>> ffts_;
};

}  // namespace multitone::sim
