#include "sim/fft_window.h"

#include <cmath>
#include <numbers>

namespace multitone::sim {

std::vector<double> WindowCoefficients(WindowKind kind) {
  switch (kind) {
    case WindowKind::FlatTop: return {0.1881, -0.36923, 0.28702, -0.13077, 0.02488};
    case WindowKind::Hann: return {0.5, -0.5};
    case WindowKind::Rectangular: return {1.0};
  }
  return {1.0};
}

std::vector<double> WindowValues(WindowKind kind, std::size_t size) {
  const std::vector<double> a = WindowCoefficients(kind);
  std::vector<double> values(size);
  for (std::size_t n = 0; n < size; ++n) {
    const double z = 2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(size);
    double w = 0;
    for (std::size_t m = 0; m < a.size(); ++m) w += a[m] * std::cos(static_cast<double>(m) * z);
    values[n] = w;
  }
  return values;
}

double CoherentGain(WindowKind kind) { return WindowCoefficients(kind).front(); }

double NoiseBandwidthBins(WindowKind kind) {
  const std::vector<double> a = WindowCoefficients(kind);
  double power = a[0] * a[0];
  for (std::size_t m = 1; m < a.size(); ++m) power += a[m] * a[m] / 2;
  return power / (a[0] * a[0]);
}

}  // namespace multitone::sim
