#include "sim/noise_source.h"

#include <algorithm>
#include <cmath>

#include "sim/random.h"

namespace multitone::sim {

void NoiseSource::Add(double rms_v, double low_hz, double high_hz, double sample_rate_hz,
                      std::size_t period, std::uint64_t key, std::span<float> out) {
  if (rms_v <= 0 || out.empty()) return;
  std::unique_ptr<RealFft>& fft = ffts_[period];
  if (!fft) fft = std::make_unique<RealFft>(period);

  const double bin_hz = sample_rate_hz / static_cast<double>(period);
  const std::size_t half = period / 2;
  const std::size_t first = static_cast<std::size_t>(std::max(1.0, std::ceil(low_hz / bin_hz)));
  const std::size_t last = std::min(half - 1, static_cast<std::size_t>(std::floor(high_hz / bin_hz)));
  std::complex<double>* bins = fft->Bins();
  for (std::size_t k = 0; k <= half; ++k) bins[k] = 0.0;
  if (first > last) return;

  // Each bin k of 1..N/2-1 adds 2 Re(X e^(i theta)) to a sample: variance
  // 4 s^2 for real and imaginary parts of variance s^2 each.
  const double count = static_cast<double>(last - first + 1);
  const double sigma = rms_v / (2.0 * std::sqrt(count));
  Random random(key);
  for (std::size_t k = first; k <= last; ++k) {
    double re = 0, im = 0;
    random.Gaussian(re, im);
    bins[k] = {sigma * re, sigma * im};
  }
  fft->Inverse();
  const double* samples = fft->Samples();
  for (std::size_t start = 0; start < out.size(); start += period) {
    const std::size_t length = std::min(period, out.size() - start);
    float* target = out.data() + start;
    for (std::size_t n = 0; n < length; ++n) target[n] += static_cast<float>(samples[n]);
  }
}

}  // namespace multitone::sim
