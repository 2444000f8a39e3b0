#include "sim/frequency_counter.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace multitone::sim {
namespace {

constexpr int kNewtonSteps = 8;
constexpr std::size_t kResync = 512;  // exact rotation every so many samples

struct Derivatives {
  double slope = 0;      // d|X|^2/dw
  double curvature = 0;  // d2|X|^2/dw2
};

// X(w) = sum y_n e^(-i w m), m = n - (N-1)/2, and its first two derivatives.
Derivatives AtFrequency(const std::vector<double>& y, double omega) {
  const double centre = (static_cast<double>(y.size()) - 1.0) / 2.0;
  std::complex<double> x0 = 0, x1 = 0, x2 = 0;
  const std::complex<double> step = std::polar(1.0, -omega);
  std::complex<double> rotation = 1.0;
  for (std::size_t n = 0; n < y.size(); ++n) {
    if (n % kResync == 0) rotation = std::polar(1.0, -omega * (static_cast<double>(n) - centre));
    const double m = static_cast<double>(n) - centre;
    const std::complex<double> term = y[n] * rotation;
    x0 += term;
    x1 += m * term;
    x2 += m * m * term;
    rotation *= step;
  }
  // X' = -i sum m y e, X'' = -sum m^2 y e.
  const std::complex<double> d1 = std::complex<double>(0, -1) * x1;
  const std::complex<double> d2 = -x2;
  return {2.0 * std::real(std::conj(x0) * d1), 2.0 * (std::norm(d1) + std::real(std::conj(x0) * d2))};
}

}  // namespace

const std::vector<double>& FrequencyCounter::Window(std::size_t size) {
  if (window_.size() != size) {
    window_.resize(size);
    for (std::size_t n = 0; n < size; ++n) {
      const double z = 2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(size);
      window_[n] = 0.35875 - 0.48829 * std::cos(z) + 0.14128 * std::cos(2 * z) - 0.01168 * std::cos(3 * z);
    }
  }
  return window_;
}

double FrequencyCounter::Measure(std::span<const float> record, double sample_rate_hz) {
  const std::size_t size = record.size();
  const std::vector<double>& w = Window(size);
  RealFft& fft = analyzer_.Fft(size);
  std::vector<double> y(size);
  double* samples = fft.Samples();
  for (std::size_t n = 0; n < size; ++n) samples[n] = y[n] = static_cast<double>(record[n]) * w[n];
  fft.Forward();
  const std::complex<double>* bins = fft.Bins();

  std::size_t peak = 0;
  double peak_power = 0;
  for (std::size_t k = 1; k + 1 < size / 2; ++k) {
    if (std::norm(bins[k]) > peak_power) {
      peak_power = std::norm(bins[k]);
      peak = k;
    }
  }
  if (peak == 0) return 0.0;

  // Start: parabola through the log magnitudes around the peak.
  const double left = std::log(std::abs(bins[peak - 1]) + 1e-300);
  const double middle = std::log(std::abs(bins[peak]) + 1e-300);
  const double right = std::log(std::abs(bins[peak + 1]) + 1e-300);
  const double denominator = left - 2 * middle + right;
  double offset = denominator < 0 ? 0.5 * (left - right) / denominator : 0.0;
  if (!(std::abs(offset) <= 0.5)) offset = 0;
  const double bin_omega = 2.0 * std::numbers::pi / static_cast<double>(size);
  double omega = (static_cast<double>(peak) + offset) * bin_omega;

  for (int i = 0; i < kNewtonSteps; ++i) {
    const Derivatives d = AtFrequency(y, omega);
    if (!(d.curvature < 0)) break;  // not at a maximum: keep the estimate
    const double step = -d.slope / d.curvature;
    if (!(std::abs(step) < bin_omega)) break;
    omega += step;
    if (std::abs(step) < 1e-9 * bin_omega) break;
  }
  return omega * sample_rate_hz / (2.0 * std::numbers::pi);
}

}  // namespace multitone::sim
