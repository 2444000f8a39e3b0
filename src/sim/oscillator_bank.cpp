#include "sim/oscillator_bank.h"

#include <cmath>
#include <numbers>

namespace multitone::sim {

void OscillatorBank::Add(std::span<const Sinusoid> sinusoids, double start_s, double sample_rate_hz,
                         double limit_hz, std::span<float> out) {
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  real_.clear();
  imag_.clear();
  at_block_.clear();
  per_block_.clear();
  for (const Sinusoid& s : sinusoids) {
    if (s.frequency_hz >= limit_hz || s.rms_v == 0.0) continue;
    const double omega = kTwoPi * s.frequency_hz / sample_rate_hz;
    // The phase at start_s, reduced to whole turns first so a late start
    // loses no precision.
    double turns = s.frequency_hz * start_s;
    turns -= std::floor(turns);
    at_block_.push_back(std::polar(std::sqrt(2.0) * s.rms_v, s.phase_rad + kTwoPi * turns));
    per_block_.push_back(std::polar(1.0, omega * static_cast<double>(kBlock)));
    const std::complex<double> step = std::polar(1.0, omega);
    std::complex<double> rotation = 1.0;
    for (std::size_t j = 0; j < kBlock; ++j) {
      real_.push_back(static_cast<float>(rotation.real()));
      imag_.push_back(static_cast<float>(rotation.imag()));
      rotation *= step;
      if ((j & 15) == 15) rotation = std::polar(1.0, omega * static_cast<double>(j + 1));
    }
  }

  const std::size_t count = at_block_.size();
  for (std::size_t start = 0; start < out.size(); start += kBlock) {
    const std::size_t length = std::min(kBlock, out.size() - start);
    float* __restrict block = out.data() + start;
    for (std::size_t m = 0; m < count; ++m) {
      const float a = static_cast<float>(at_block_[m].real());
      const float b = static_cast<float>(at_block_[m].imag());
      const float* __restrict c = real_.data() + m * kBlock;
      const float* __restrict s = imag_.data() + m * kBlock;
      // Re((a + ib)(c + is)) = a c - b s
      for (std::size_t j = 0; j < length; ++j) block[j] += a * c[j] - b * s[j];
      at_block_[m] *= per_block_[m];
    }
  }
}

}  // namespace multitone::sim
