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

  // Four sinusoids per pass over a block, so the block is loaded and stored
  // a quarter as often; Re((a + ib)(c + is)) = a c - b s.
  const std::size_t count = at_block_.size();
  const std::size_t groups = count / 4 * 4;
  for (std::size_t start = 0; start < out.size(); start += kBlock) {
    const std::size_t length = std::min(kBlock, out.size() - start);
    float* __restrict block = out.data() + start;
    std::size_t m = 0;
    for (; m < groups; m += 4) {
      float a[4], b[4];
      for (std::size_t k = 0; k < 4; ++k) {
        a[k] = static_cast<float>(at_block_[m + k].real());
        b[k] = static_cast<float>(at_block_[m + k].imag());
        at_block_[m + k] *= per_block_[m + k];
      }
      const float* __restrict c0 = real_.data() + m * kBlock;
      const float* __restrict s0 = imag_.data() + m * kBlock;
      const float* __restrict c1 = c0 + kBlock;
      const float* __restrict s1 = s0 + kBlock;
      const float* __restrict c2 = c1 + kBlock;
      const float* __restrict s2 = s1 + kBlock;
      const float* __restrict c3 = c2 + kBlock;
      const float* __restrict s3 = s2 + kBlock;
      for (std::size_t j = 0; j < length; ++j) {
        block[j] += ((a[0] * c0[j] - b[0] * s0[j]) + (a[1] * c1[j] - b[1] * s1[j])) +
                    ((a[2] * c2[j] - b[2] * s2[j]) + (a[3] * c3[j] - b[3] * s3[j]));
      }
    }
    for (; m < count; ++m) {
      const float a = static_cast<float>(at_block_[m].real());
      const float b = static_cast<float>(at_block_[m].imag());
      const float* __restrict c = real_.data() + m * kBlock;
      const float* __restrict s = imag_.data() + m * kBlock;
      for (std::size_t j = 0; j < length; ++j) block[j] += a * c[j] - b * s[j];
      at_block_[m] *= per_block_[m];
    }
  }
}

}  // namespace multitone::sim
