#pragma once
// The analyzer's user filter as a band-pass: an 8th-order Butterworth
// band-pass between the two edges (-3 dB there), made digital by the
// bilinear transform with pre-warped edges, and a stop-band floor of the
// given attenuation: y = (1 - g) bandpass(x) + g x, g = 10^(-attenuation/20).
#include <array>
#include <complex>
#include <span>

#include "sim/instrument_state.h"

namespace multitone::sim {

class UserFilter {
 public:
  // The edges are taken in either order; REQUIRES: both in (0, rate/2).
  UserFilter(const UserFilterSettings& settings, double sample_rate_hz);

  // Filters the record in place, starting from rest.
  void Process(std::span<float> record) const;

  // |H| at a frequency (for tests and the documentation of the filter).
  double GainAt(double hz) const;

 private:
  // The cascade of sections alone, before normalisation and floor.
  std::complex<double> BandPass(double hz) const;

  struct Section {
    double a1, a2;  // denominator 1 + a1 z^-1 + a2 z^-2; numerator 1 - z^-2
  };
  static constexpr int kSections = 4;
  std::array<Section, kSections> sections_{};
  double gain_ = 1;   // of the band-pass at its centre, normalised away
  double floor_ = 0;  // g
  double sample_rate_hz_;
};

}  // namespace multitone::sim
