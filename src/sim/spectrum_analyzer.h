#pragma once
// The analyzer's FFT magnitude spectrum: the record times the chosen window,
// transformed, scaled so that a sine of RMS a shows a at its bin (sqrt(2) |X|
// / (N x coherent gain)). Plans and window tables are made once per size.
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "sim/instrument_state.h"
#include "sim/real_fft.h"

namespace multitone::sim {

class SpectrumAnalyzer {
 public:
  // Bins 0..N/2-1 of the N-point record, in V RMS.
  void Magnitudes(std::span<const float> record, WindowKind window, std::vector<float>& out);

  // The FFT of one size, shared with the frequency counter.
  RealFft& Fft(std::size_t size);

 private:
  const std::vector<double>& Window(WindowKind window, std::size_t size);

  std::map<std::size_t, std::unique_ptr<RealFft>> ffts_;
  std::map<std::pair<WindowKind, std::size_t>, std::vector<double>> windows_;
};

}  // namespace multitone::sim
