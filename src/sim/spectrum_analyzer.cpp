#include "sim/spectrum_analyzer.h"

#include <cmath>

#include "sim/fft_window.h"

namespace multitone::sim {

RealFft& SpectrumAnalyzer::Fft(std::size_t size) {
  std::unique_ptr<RealFft>& fft = ffts_[size];
  if (!fft) fft = std::make_unique<RealFft>(size);
  return *fft;
}

const std::vector<double>& SpectrumAnalyzer::Window(WindowKind window, std::size_t size) {
  std::vector<double>& values = windows_[{window, size}];
  if (values.empty()) values = WindowValues(window, size);
  return values;
}

void SpectrumAnalyzer::Magnitudes(std::span<const float> record, WindowKind window,
                                  std::vector<float>& out) {
  const std::size_t size = record.size();
  RealFft& fft = Fft(size);
  const std::vector<double>& w = Window(window, size);
  double* samples = fft.Samples();
  for (std::size_t n = 0; n < size; ++n) samples[n] = static_cast<double>(record[n]) * w[n];
  fft.Forward();
  const std::complex<double>* bins = fft.Bins();
  const double dc_scale = 1.0 / (static_cast<double>(size) * CoherentGain(window));
  const double scale = std::sqrt(2.0) * dc_scale;
  out.resize(size / 2);
  // sqrt of the norm: hypot's care for overflow is not needed here.
  out[0] = static_cast<float>(std::sqrt(std::norm(bins[0])) * dc_scale);
  for (std::size_t k = 1; k < size / 2; ++k) out[k] = static_cast<float>(std::sqrt(std::norm(bins[k])) * scale);
}

}  // namespace multitone::sim
