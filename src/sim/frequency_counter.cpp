#include "sim/frequency_counter.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace multitone::sim {
namespace {

constexpr int kNewtonSteps = 6;
constexpr std::size_t kResync = 512;  // exact rotation every so many samples

struct Derivatives {
  double slope = 0;      // d|X|^2/dw
  double curvature = 0;  // d2|X|^2/dw2
};

// X(w) = sum y_n e^(-i w m), m = n - (N-1)/2, and its first two derivatives.
Derivatives AtFrequency(const std::vector<double>& y, double omega) {
  // Real and imaginary parts by hand: std::complex products would check for
  // NaN on every sample.
  const double centre = (static_cast<double>(y.size()) - 1.0) / 2.0;
  double x0r = 0, x0i = 0, x1r = 0, x1i = 0, x2r = 0, x2i = 0;
  const double step_r = std::cos(omega), step_i = -std::sin(omega);
  double rot_r = 1, rot_i = 0;
  for (std::size_t n = 0; n < y.size(); ++n) {
    const double m = static_cast<double>(n) - centre;
    if (n % kResync == 0) {
      rot_r = std::cos(omega * m);
      rot_i = -std::sin(omega * m);
    }
    const double tr = y[n] * rot_r, ti = y[n] * rot_i;
    x0r += tr;
    x0i += ti;
    x1r += m * tr;
    x1i += m * ti;
    x2r += m * m * tr;
    x2i += m * m * ti;
    const double next_r = rot_r * step_r - rot_i * step_i;
    rot_i = rot_r * step_i + rot_i * step_r;
    rot_r = next_r;
  }
  // X' = -i x1, X'' = -x2.
  const std::complex<double> x0(x0r, x0i), d1(x1i, -x1r), d2(-x2r, -x2i);
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
