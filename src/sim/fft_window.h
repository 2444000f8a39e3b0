#pragma once
// The FFT windows of the analyzer. The flat-top is the 5-term fast-decaying
// flat-top "SFT5F" of the report "Spectrum and spectral density estimation
// by the Discrete Fourier transform (DFT), including a comprehensive list of
// window functions and some new flat-top windows" (2002):
//   w(z) = 0.1881 - 0.36923 cos z + 0.28702 cos 2z - 0.13077 cos 3z + 0.02488 cos 4z,
//   z = 2 pi n / N (the periodic form), normalised equivalent noise bandwidth
//   4.3412 bins, amplitude flat within 0.003 dB over +-0.5 bin, side lobes
//   below -57 dB falling fast (-108 dB at 10.5 bins).
#include <cstddef>
#include <vector>

#include "sim/instrument_state.h"

namespace multitone::sim {

// The cosine-sum coefficients a0, a1, ... of w(z) = sum a_m cos(m z).
std::vector<double> WindowCoefficients(WindowKind kind);

// The window's N values (periodic form).
std::vector<double> WindowValues(WindowKind kind, std::size_t size);

// Mean of the window (a0): the gain a sine sees at its own bin.
double CoherentGain(WindowKind kind);

// Equivalent noise bandwidth in bins: N sum w^2 / (sum w)^2.
double NoiseBandwidthBins(WindowKind kind);

}  // namespace multitone::sim
