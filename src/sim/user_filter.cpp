#include "sim/user_filter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace multitone::sim {

UserFilter::UserFilter(const UserFilterSettings& settings, double sample_rate_hz)
    : sample_rate_hz_(sample_rate_hz) {
  using Complex = std::complex<double>;
  constexpr double kPi = std::numbers::pi;
  const double fs = sample_rate_hz;
  const double low = std::min(settings.lower_hz, settings.upper_hz);
  const double high = std::max(settings.lower_hz, settings.upper_hz);
  const double w1 = 2 * fs * std::tan(kPi * low / fs);
  const double w2 = 2 * fs * std::tan(kPi * high / fs);
  const double w0 = std::sqrt(w1 * w2);
  const double bandwidth = std::max(w2 - w1, 1e-9 * w0);

  // Poles of the 4th-order Butterworth low-pass prototype, moved to the band
  // (s -> (s^2 + w0^2) / (B s)) and to z; one of each conjugate pair kept.
  constexpr int kOrder = kSections;
  std::vector<Complex> poles;
  for (int k = 0; k < kOrder; ++k) {
    const Complex p = std::polar(1.0, kPi * (2.0 * k + kOrder + 1) / (2.0 * kOrder));
    const Complex root = std::sqrt(p * p * bandwidth * bandwidth - 4 * w0 * w0);
    for (const Complex s : {(p * bandwidth + root) / 2.0, (p * bandwidth - root) / 2.0}) {
      const Complex z = (2 * fs + s) / (2 * fs - s);
      if (z.imag() > 0) poles.push_back(z);
    }
  }
  for (int i = 0; i < kSections && i < static_cast<int>(poles.size()); ++i) {
    sections_[static_cast<std::size_t>(i)] = {-2 * poles[static_cast<std::size_t>(i)].real(),
                                              std::norm(poles[static_cast<std::size_t>(i)])};
  }
  floor_ = std::pow(10.0, -std::max(0.0, settings.attenuation_db) / 20.0);
  const double centre_hz = fs / kPi * std::atan(w0 / (2 * fs));
  gain_ = std::abs(BandPass(centre_hz));
}

std::complex<double> UserFilter::BandPass(double hz) const {
  const std::complex<double> zi = std::polar(1.0, -2 * std::numbers::pi * hz / sample_rate_hz_);
  std::complex<double> h = 1.0;
  for (const Section& s : sections_) h *= (1.0 - zi * zi) / (1.0 + s.a1 * zi + s.a2 * zi * zi);
  return h;
}

double UserFilter::GainAt(double hz) const {
  return std::abs((1 - floor_) * BandPass(hz) / gain_ + floor_);
}

void UserFilter::Process(std::span<float> record) const {
  // Transposed direct form II per section, in double.
  std::array<double, kSections> z1{}, z2{};
  const double scale = (1 - floor_) / gain_;
  for (float& sample : record) {
    const double x = sample;
    double v = x;
    for (std::size_t i = 0; i < kSections; ++i) {
      const Section& s = sections_[i];
      const double y = v + z1[i];
      z1[i] = z2[i] - s.a1 * y;
      z2[i] = -v - s.a2 * y;
      v = y;
    }
    sample = static_cast<float>(scale * v + floor_ * x);
  }
}

}  // namespace multitone::sim
