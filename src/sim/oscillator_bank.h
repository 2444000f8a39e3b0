#pragma once
// Sums of sinusoids without a sin() per sample: each sinusoid advances by a
// complex rotation per block of kBlock samples and, inside a block, reads a
// table of its own rotations; the inner loop is a multiply-add over floats
// that the compiler vectorises.
#include <complex>
#include <span>
#include <vector>

namespace multitone::sim {

struct Sinusoid {
  double frequency_hz = 0;
  double rms_v = 0;
  double phase_rad = 0;  // at device time 0
};

class OscillatorBank {
 public:
  static constexpr std::size_t kBlock = 64;

  // Adds sqrt(2) rms cos(2 pi f (start_s + n / rate) + phase) to out[n] for
  // every sinusoid whose frequency lies below `limit_hz`.
  void Add(std::span<const Sinusoid> sinusoids, double start_s, double sample_rate_hz,
           double limit_hz, std::span<float> out);

 private:
  std::vector<float> real_;  // per sinusoid, kBlock values of cos(w j)
  std::vector<float> imag_;  // and sin(w j)
  std::vector<std::complex<double>> at_block_;  // amplitude and phase at the block start
  std::vector<std::complex<double>> per_block_; // rotation over one block
};

}  // namespace multitone::sim
